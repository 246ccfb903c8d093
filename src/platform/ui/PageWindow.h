#pragma once

#include <QCursor>
#include <QWidget>
#include <functional>
#include <optional>

namespace ui {

// Window geometry is given in twips: 15 to a device-independent pixel.
constexpr int TwipsPerPixel = 15;
int TwipsToPixels(double twips);
double PixelsToTwips(int pixels);
void PlaceInTwips(QWidget& widget, int left, int top, int width, int height);

enum MousePointer { vbDefault = 0, vbHourglass = 11, vbCustom = 99 };

enum class Border { FixedSingle, Sizable };

// A page window: one program-wide instance, loaded (Form_Load) the first time
// it is shown, then only shown and hidden. Closing it runs Form_Unload.
class FrameExtentsWatcher;

class PageWindow : public QWidget {
  Q_OBJECT
 public:
  // How long the first showing waits for the window manager to say what
  // frame it will draw.
  static constexpr int FrameWaitMilliseconds = 100;

  PageWindow(Border border, int clientWidthTwips, int clientHeightTwips);

  // Loads the window (runs Form_Load) unless it is loaded already.
  void Load();
  // Shows the window modeless; the first showing loads it first.
  void Show();
  void Hide();
  bool isLoaded() const { return loaded_; }

  virtual void Form_Load() {}
  virtual void Form_Unload() {}

  // The page's pointer value: 0 default, 11 hourglass, 99 the mouse icon.
  int mousePointer() const { return mousePointer_; }
  void setMousePointer(int value);
  void setMouseIcon(const QCursor& icon);
  bool hasMouseIcon() const { return mouseIcon_.has_value(); }

  // Outer size (frame and title bar included), as the window manager last
  // announced its frame; the resize rules run again when that frame changes.
  QSize outerSize() const;
  double outerWidthTwips() const;
  double outerHeightTwips() const;
  bool isMinimizedNow() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  virtual void Form_Resize() {}

 private:
  bool loaded_ = false;
  bool centred_ = false;
  int mousePointer_ = vbDefault;
  std::optional<QCursor> mouseIcon_;
  FrameExtentsWatcher* frameExtents_;
};

// Ends the program: every window closes. Tests replace this with a recorder.
void EndProgram();
void SetProgramEnder(std::function<void()> ender);  // empty: quit the application

}  // namespace ui
