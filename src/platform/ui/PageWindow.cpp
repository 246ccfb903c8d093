#include "platform/ui/PageWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QWindowStateChangeEvent>
#include <cmath>

#include "platform/ui/FrameExtentsWatcher.h"

namespace ui {

int TwipsToPixels(double twips) { return static_cast<int>(std::lround(twips / TwipsPerPixel)); }

double PixelsToTwips(int pixels) { return static_cast<double>(pixels) * TwipsPerPixel; }

void PlaceInTwips(QWidget& widget, int left, int top, int width, int height) {
  widget.setGeometry(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                     TwipsToPixels(height));
}

namespace {

Qt::WindowFlags FlagsFor(Border border) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint;
  if (border == Border::Sizable) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

}  // namespace

PageWindow::PageWindow(Border border, int clientWidthTwips, int clientHeightTwips)
    : QWidget(nullptr, FlagsFor(border)) {
  const QSize client(TwipsToPixels(clientWidthTwips), TwipsToPixels(clientHeightTwips));
  if (border == Border::FixedSingle) {
    setFixedSize(client);
  } else {
    resize(client);
  }
  // New frame extents change the outer size without a resize of the client.
  frameExtents_ = new FrameExtentsWatcher(this);
  connect(frameExtents_, &FrameExtentsWatcher::extentsChanged, this, [this] {
    if (isVisible()) Form_Resize();
  });
}

void PageWindow::Load() {
  if (loaded_) return;
  // Marked first, so that a load which shows its own page does not load it
  // a second time.
  loaded_ = true;
  Form_Load();
}

void PageWindow::Show() {
  Load();
  if (!centred_) {
    centred_ = true;
    // The first layout goes by the framed outer size: the window comes up
    // at its size, not growing a moment later when it is framed.
    frameExtents_->learnBeforeShow(FrameWaitMilliseconds);
    if (const QScreen* target = QGuiApplication::primaryScreen()) {
      QRect placed(QPoint(), size());
      placed.moveCenter(target->availableGeometry().center());
      move(placed.topLeft());
    }
  }
  show();
}

void PageWindow::Hide() { hide(); }

void PageWindow::setMousePointer(int value) {
  mousePointer_ = value;
  switch (value) {
    case vbHourglass:
      setCursor(Qt::WaitCursor);
      break;
    case vbCustom:
      // Without a mouse icon the custom pointer is still a hand.
      setCursor(mouseIcon_ ? *mouseIcon_ : QCursor(Qt::PointingHandCursor));
      break;
    default:
      unsetCursor();
      break;
  }
}

void PageWindow::setMouseIcon(const QCursor& icon) {
  mouseIcon_ = icon;
  if (mousePointer_ == vbCustom) setMousePointer(vbCustom);
}

QSize PageWindow::outerSize() const {
  // frameGeometry() keeps the frame margins of the last move or resize event,
  // which may be the margins from before a maximize, or none at all before the
  // window manager framed the window. The window's own margins are the ones
  // the window manager announced last.
  const QWindow* window = windowHandle();
  if (window == nullptr) return frameGeometry().size();
  // Before the window manager has framed the window, the frame it said it
  // will draw.
  const QMargins margins = window->frameMargins();
  return size().grownBy(margins.isNull() ? frameExtents_->learnt().value_or(margins) : margins);
}

double PageWindow::outerWidthTwips() const { return PixelsToTwips(outerSize().width()); }

double PageWindow::outerHeightTwips() const { return PixelsToTwips(outerSize().height()); }

bool PageWindow::isMinimizedNow() const { return isMinimized(); }

void PageWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  Form_Unload();
}

void PageWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void PageWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  const auto* change = static_cast<QWindowStateChangeEvent*>(event);
  const bool wasMinimized = change->oldState().testFlag(Qt::WindowMinimized);
  // Minimizing and restoring change the visible size without a resize event.
  if (wasMinimized != isMinimized()) Form_Resize();
}

}  // namespace ui
