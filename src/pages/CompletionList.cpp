#include "CompletionList.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStringListModel>
#include <algorithm>

namespace pages {

namespace {

constexpr int kMostRowsShown = 7;

}  // namespace

CompletionList::CompletionList(QLineEdit& box)
    : QListView(&box), box_(box), offered_(new QStringListModel(this)) {
  // A tooltip's kind of window: placed by the program itself, left alone by
  // the window manager, and never made the active window, not even by a click.
  setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setModel(offered_);
  setEditTriggers(NoEditTriggers);
  setSelectionMode(SingleSelection);
  setUniformItemSizes(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFont(box.font());
  // Its window is never the active one: the name moved to shows as it
  // would in an active window.
  QPalette colours = palette();
  for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
    colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
  setPalette(colours);

  // Only what the user types is completed, never a text the program sets.
  connect(&box, &QLineEdit::textEdited, this, &CompletionList::offerFor);
  connect(this, &QAbstractItemView::clicked, this, &CompletionList::pick);
  box.installEventFilter(this);
  box.window()->installEventFilter(this);
}

void CompletionList::setCandidates(const QStringList& names) {
  candidates_ = names;
}

QStringList CompletionList::offered() const {
  return offered_->stringList();
}

bool CompletionList::eventFilter(QObject* watched, QEvent* event) {
  if (!isVisible()) return false;
  switch (event->type()) {
    case QEvent::KeyPress:
      return watched == &box_ && handleKey(static_cast<QKeyEvent*>(event)->key());
    case QEvent::FocusOut:
    case QEvent::Hide:
    case QEvent::Move:
      hide();
      return false;
    default:
      return false;
  }
}

// True when the key was the list's and goes no further.
bool CompletionList::handleKey(int key) {
  switch (key) {
    case Qt::Key_Down:
      moveCurrent(1);
      return true;
    case Qt::Key_Up:
      moveCurrent(-1);
      return true;
    case Qt::Key_Escape:
      hide();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
      if (currentIndex().isValid()) {
        pick(currentIndex());
        // Tab goes on to move the focus, as it does without the list.
        return key != Qt::Key_Tab;
      }
      hide();
      return false;
    case Qt::Key_Backtab:
      hide();
      return false;
    default:
      return false;
  }
}

void CompletionList::offerFor(const QString& typed) {
  QStringList matching;
  if (!typed.isEmpty())
    for (const QString& name : candidates_)
      if (name.startsWith(typed, Qt::CaseInsensitive)) matching << name;
  offered_->setStringList(matching);
  if (matching.isEmpty()) {
    hide();
    return;
  }
  placeUnderBox();
  show();
  raise();
}

// Past either end no name is current, as before the first move.
void CompletionList::moveCurrent(int step) {
  const int rows = offered_->rowCount();
  const int row = currentIndex().isValid() ? currentIndex().row() + step : (step > 0 ? 0 : rows - 1);
  setCurrentIndex(row >= 0 && row < rows ? offered_->index(row) : QModelIndex());
}

void CompletionList::pick(const QModelIndex& index) {
  hide();
  if (index.isValid()) box_.setText(index.data().toString());
}

// Under the box and as wide as it; above it where the screen ends below.
void CompletionList::placeUnderBox() {
  const int rows = std::min(offered_->rowCount(), kMostRowsShown);
  const int height = rows * sizeHintForRow(0) + 2 * frameWidth();
  QPoint topLeft = box_.mapToGlobal(QPoint(0, box_.height()));
  if (const QScreen* screen = box_.screen();
      screen && topLeft.y() + height > screen->availableGeometry().bottom())
    topLeft.setY(box_.mapToGlobal(QPoint(0, 0)).y() - height);
  setGeometry(QRect(topLeft, QSize(box_.width(), height)));
}

}  // namespace pages
