#include "Controls.h"

#include <QApplication>
#include <QPalette>

#include "frame/Appearance.h"
#include "platform/ui/PageWindow.h"

namespace pages {

QPushButton* MakePushButton(QWidget* parent, const QString& caption, int left, int top, int width,
                            int height) {
  auto* button = new QPushButton(caption, parent);
  button->setFont(frame::PushButtonFont());
  button->setAutoDefault(false);
  button->setDefault(false);
  QPalette palette = button->palette();
  palette.setColor(QPalette::Button, Qt::white);
  palette.setColor(QPalette::ButtonText,
                   frame::ReadableOn(QApplication::palette().color(QPalette::ButtonText), Qt::white));
  button->setPalette(palette);
  ui::PlaceInTwips(*button, left, top, width, height);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, int left, int top, int width,
                  int height) {
  auto* label = new QLabel(caption, parent);
  label->setFont(frame::PageFont());
  PaintWhite(*label);
  ui::PlaceInTwips(*label, left, top, width, height);
  return label;
}

void SetUpPageLayout(QWidget& window, const QString& name, const QFont& font) {
  window.setObjectName(name);
  window.setWindowTitle(name);
  window.setFont(font);
  PaintWhite(window);
}

void PaintWhite(QWidget& widget) {
  widget.setAutoFillBackground(true);
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, frame::ReadableOn(palette.color(QPalette::WindowText), Qt::white));
  widget.setPalette(palette);
}

QWidget* MakeHorizontalLine(QWidget* parent, int left, int top, int right) {
  auto* line = new QWidget(parent);
  line->setAutoFillBackground(true);
  QPalette palette = line->palette();
  palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::WindowText));
  line->setPalette(palette);
  line->setGeometry(ui::TwipsToPixels(left), ui::TwipsToPixels(top),
                    ui::TwipsToPixels(right - left) + 1, 1);
  return line;
}

}  // namespace pages
