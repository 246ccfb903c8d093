#pragma once

#include <QWidget>
#include <string>

namespace ui {
class PageWindow;
class SkinFramework;
}

namespace frame {

// The folder that holds the program, without a trailing separator. Tests may
// point it elsewhere.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);  // empty: the executable's folder

std::string SkinFilePath();         // program folder + "/x/o.cjs"
// program folder + "/HAND-M.CUR", or when only an installed copy is there,
// program folder + "/../share/quorvane-table-desk/HAND-M.CUR"
std::string HandCursorFilePath();

// True when the path's modification time can be read; never fails.
bool FileExists(const std::string& path);

// True when the skin file is an ordinary file: a folder or a hidden file does
// not count.
bool SkinFilePresent(const std::string& path);

// Gives a window and its labels, frames, check boxes and option buttons the
// system button-face background.
void ApplyFormColors(QWidget& window);

// Colours the connection page and hands the skin file to its skin component,
// when the skin file is present.
void ApplySkin(ui::PageWindow& form1, ui::SkinFramework& skin);

// The hover rules: moving over `surface` sets the page's pointer to `value`
// unless the page shows the hourglass.
void SetPointerOnHover(ui::PageWindow& page, QWidget& surface, int value);

// Loads the hand cursor file into the page, as every page load does
// (steps 106 and 108 of its trap).
class ErrorTrap;
void LoadHandCursor(ErrorTrap& trap, ui::PageWindow& page);

// The contrast ratio of two colours, from 1 (the same) to 21 (black and
// white), and the least that text needs against its background.
double ContrastRatio(const QColor& first, const QColor& second);
inline constexpr double kReadableContrast = 4.5;

// The text colour, when it stands out enough from the background; else that
// colour moved towards white or black until it does, keeping its hue. Pages
// that paint their own backgrounds take their text colours through it, so
// that a dark desktop palette leaves no light text on white.
QColor ReadableOn(const QColor& text, const QColor& background);

// Page fonts: Arial 9 pt bold, and Arial 11.25 pt bold for push buttons.
QFont PageFont();
QFont PushButtonFont();

}  // namespace frame
