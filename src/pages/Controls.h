#pragma once

#include <QLabel>
#include <QPushButton>
#include <QString>

namespace pages {

// The controls of the page layouts, placed in twips, with the page look:
// push buttons in Arial 11.25 pt bold on white in the desktop's button-text
// colour (darkened where it would not stand out), never a default button;
// labels in Arial 9 pt bold.
QPushButton* MakePushButton(QWidget* parent, const QString& caption, int left, int top, int width,
                            int height);
QLabel* MakeLabel(QWidget* parent, const QString& caption, int left, int top, int width,
                  int height);

// The layout's look of a page window: its name as its caption, its font and
// a white background.
void SetUpPageLayout(QWidget& window, const QString& name, const QFont& font);

// A white background, as every surface has in the layouts, with a text
// colour that stands out from it.
void PaintWhite(QWidget& widget);

// A horizontal one-pixel line in the window-text colour.
QWidget* MakeHorizontalLine(QWidget* parent, int left, int top, int right);

}  // namespace pages
