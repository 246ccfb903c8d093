#include <QGroupBox>
#include <QMouseEvent>
#include <QPointer>

#include "frame/Appearance.h"
#include "platform/ui/PageWindow.h"

namespace frame {

namespace {

// Windows and frames hold controls of their own, each with its own hover
// rule or none; any other surface (a grid, a list) is one control made of
// inner widgets, and the pointer over any of them counts as over it.
bool HoldsOtherControls(const QWidget& surface) {
  return qobject_cast<const ui::PageWindow*>(&surface) != nullptr ||
         qobject_cast<const QGroupBox*>(&surface) != nullptr;
}

class HoverRule : public QObject {
 public:
  HoverRule(ui::PageWindow& page, QWidget& surface, int value)
      : QObject(&surface), page_(&page), value_(value) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::MouseMove || page_.isNull()) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto* move = static_cast<QMouseEvent*>(event);
    // A move that a child ignored travels on to its parents; only the
    // widget right under the pointer answers it, as with separate controls
    // each handling its own moves.
    if (widget == nullptr || widget->childAt(move->position().toPoint()) != nullptr) return false;
    if (page_->mousePointer() != ui::vbHourglass) page_->setMousePointer(value_);
    return false;
  }

 private:
  QPointer<ui::PageWindow> page_;
  int value_;
};

void Watch(QWidget& widget, HoverRule& rule) {
  // Without tracking, moves with no button held never reach the widget.
  widget.setMouseTracking(true);
  widget.installEventFilter(&rule);
}

}  // namespace

void SetPointerOnHover(ui::PageWindow& page, QWidget& surface, int value) {
  auto* rule = new HoverRule(page, surface, value);  // owned by the surface
  Watch(surface, *rule);
  if (HoldsOtherControls(surface)) return;
  // Scroll areas included: their viewport and scroll bars are children.
  for (QWidget* part : surface.findChildren<QWidget*>()) Watch(*part, *rule);
}

}  // namespace frame
