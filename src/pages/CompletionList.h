#pragma once

#include <QListView>
#include <QStringList>

class QLineEdit;
class QStringListModel;

namespace pages {

// The names a text box offers while what is typed is the start of one of
// them (any case): a list under the box. The list is a window of its own
// that never takes the focus and grabs neither keyboard nor mouse, so every
// key goes on reaching the box and a click elsewhere reaches what it was
// aimed at. It changes the text only when the user picks a name: a click on
// it, or Enter or Tab on the one moved to with the arrow keys. Escape, the
// box losing the focus and the window moving close it.
class CompletionList final : public QListView {
  Q_OBJECT
 public:
  explicit CompletionList(QLineEdit& box);

  // The names to offer from now on.
  void setCandidates(const QStringList& names);
  const QStringList& candidates() const { return candidates_; }

  // The names offered for the text typed last.
  QStringList offered() const;

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool handleKey(int key);
  void offerFor(const QString& typed);
  void moveCurrent(int step);
  void pick(const QModelIndex& index);
  void placeUnderBox();

  QLineEdit& box_;
  QStringList candidates_;
  QStringListModel* offered_;
};

}  // namespace pages
