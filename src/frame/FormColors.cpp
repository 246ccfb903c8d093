#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>

#include "frame/Appearance.h"

namespace frame {

namespace {

// Labels, frames, check boxes and option buttons show the window behind
// them; push buttons, text boxes and lists keep their own look.
bool TakesFormColour(const QWidget& control) {
  return qobject_cast<const QLabel*>(&control) != nullptr ||
         qobject_cast<const QGroupBox*>(&control) != nullptr ||
         qobject_cast<const QCheckBox*>(&control) != nullptr ||
         qobject_cast<const QRadioButton*>(&control) != nullptr;
}

// With the widget's text colour kept where it stands out from the colour.
void PaintBackground(QWidget& widget, const QColor& colour) {
  QPalette palette = widget.palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, ReadableOn(palette.color(QPalette::WindowText), colour));
  widget.setPalette(palette);
  widget.setAutoFillBackground(true);
}

}  // namespace

void ApplyFormColors(QWidget& window) {
  // Looked up at each call, so the grey follows the user's colour scheme.
  const QColor buttonFace = QApplication::palette().color(QPalette::Button);
  PaintBackground(window, buttonFace);
  for (QWidget* control : window.findChildren<QWidget*>()) {
    if (TakesFormColour(*control)) PaintBackground(*control, buttonFace);
  }
}

}  // namespace frame
