#pragma once

#include <QPlainTextEdit>
#include <QString>

class QTextCursor;

namespace ui {

// A plain-text editor that stays quick with a value of megabytes.
// A line is laid out whole on every key that changes it, at a cost that
// grows with its length (seconds for a line of megabytes), so lines longer
// than PieceCharacters are shown in pieces: each piece is a line of the
// editor that goes on the line before it, not a line break of the text.
// A long text appears a part at a time, between turns of the event loop;
// the editor is read-only until all of it is there.
// Tab moves the focus on; Ctrl+Tab types a tab. Ctrl+Enter is left to the
// window (its OK).
class LongTextEditor final : public QPlainTextEdit {
  Q_OBJECT
 public:
  static constexpr qsizetype PieceCharacters = 10000;

  explicit LongTextEditor(QWidget* parent = nullptr);

  // Shows `text`, as far as one turn allows at once, the rest later.
  void load(const QString& text);
  bool loading() const { return loading_; }
  // The text as edited: lines joined by "\n", pieces by nothing.
  QString text() const;
  // Whether the text was changed since it was loaded (also where it was
  // changed back).
  bool touched() const { return touched_; }
  // The text as the editor reads `value`: its line breaks (CR LF, CR, LF,
  // and the paragraph marks a text document breaks at) all "\n".
  static QString AsRead(const QString& value);

 signals:
  void loaded();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  // Puts `text` at the cursor, its lines broken and its long lines cut in
  // pieces as the editor shows them; stops once `budgetMs` have passed
  // (negative: never) and returns how much of `text` it put.
  qsizetype insertLines(QTextCursor& cursor, QStringView text, qint64 budgetMs);
  void loadMore(qint64 budgetMs);
  void finishLoading();
  // Deletes the character before (after) the cursor, across the ends of
  // pieces, which stand for no character.
  void deleteAcrossPieces(bool before);

  bool loading_ = false;
  QString pending_;  // the text being loaded
  qsizetype loadedTo_ = 0;
  bool inserting_ = false;
  bool touched_ = false;
};

}  // namespace ui
