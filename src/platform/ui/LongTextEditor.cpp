#include "LongTextEditor.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>

namespace ui {

namespace {

// How long one turn of the event loop may spend loading; the first, which
// adds to the time the window takes to open, less.
constexpr qint64 kLoadTurnMs = 25;
constexpr qint64 kFirstLoadTurnMs = 10;
// Short lines go in together, up to about this many characters at once.
constexpr qsizetype kLinesAtOnce = 64 * 1024;
// A piece ends after a blank where one falls within its last tenth.
constexpr qsizetype kBlankSearch = LongTextEditor::PieceCharacters / 10;
// Marks a line of the editor that goes on the line before it.
constexpr int kPieceProperty = QTextFormat::UserProperty;

// The characters at which a text document starts a new line.
bool IsBreak(QChar c) {
  return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar(0xFDD0) || c == QChar(0xFDD1);
}

// Where the line from `from` on ends, if it is no longer than a piece;
// -1 for a longer line (which is looked at no further).
qsizetype ShortLineEnd(QStringView text, qsizetype from) {
  const qsizetype last = std::min(text.size(), from + LongTextEditor::PieceCharacters);
  for (qsizetype at = from; at < last; ++at)
    if (IsBreak(text[at])) return at;
  return last == text.size() ? last : IsBreak(text[last]) ? last : -1;
}

qsizetype AfterBreak(QStringView text, qsizetype at) {
  return text[at] == u'\r' && at + 1 < text.size() && text[at + 1] == u'\n' ? at + 2 : at + 1;
}

// Where the piece of a long line from `from` on ends: after a blank near
// its end if there is one, and never inside a surrogate pair.
qsizetype PieceEnd(QStringView text, qsizetype from) {
  qsizetype end = from + LongTextEditor::PieceCharacters;
  for (qsizetype at = end - 1; at >= end - kBlankSearch; --at)
    if (text[at].isSpace()) return at + 1;
  if (text[end - 1].isHighSurrogate()) --end;
  return end;
}

bool IsPiece(const QTextBlock& block) { return block.blockFormat().boolProperty(kPieceProperty); }

QTextBlockFormat PieceFormat() {
  QTextBlockFormat format;
  format.setProperty(kPieceProperty, true);
  return format;
}

}  // namespace

LongTextEditor::LongTextEditor(QWidget* parent) : QPlainTextEdit(parent) {
  setTabChangesFocus(true);
  connect(document(), &QTextDocument::contentsChange, this, [this] {
    if (inserting_) return;
    touched_ = true;
    // Replaced from outside while loading: what is left goes.
    if (loading_) finishLoading();
  });
}

QString LongTextEditor::AsRead(const QString& value) {
  QString read = value;
  read.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  for (QChar& c : read)
    if (IsBreak(c)) c = u'\n';
  return read;
}

void LongTextEditor::load(const QString& text) {
  {
    const QScopedValueRollback inserting(inserting_, true);
    clear();
  }
  touched_ = false;
  // Nothing of the load is to be undone.
  document()->setUndoRedoEnabled(false);
  pending_ = text;
  loadedTo_ = 0;
  loading_ = true;
  loadMore(kFirstLoadTurnMs);
}

void LongTextEditor::loadMore(qint64 budgetMs) {
  if (!loading_) return;
  {
    const QScopedValueRollback inserting(inserting_, true);
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.beginEditBlock();
    loadedTo_ += insertLines(end, QStringView(pending_).mid(loadedTo_), budgetMs);
    end.endEditBlock();
  }
  if (loadedTo_ < pending_.size()) {
    setReadOnly(true);
    QTimer::singleShot(0, this, [this] { loadMore(kLoadTurnMs); });
    return;
  }
  finishLoading();
}

void LongTextEditor::finishLoading() {
  loading_ = false;
  pending_ = QString();
  setReadOnly(false);
  document()->setUndoRedoEnabled(true);
  emit loaded();
}

qsizetype LongTextEditor::insertLines(QTextCursor& cursor, QStringView text, qint64 budgetMs) {
  QElapsedTimer clock;
  clock.start();
  qsizetype at = 0;
  // Each step ends at the start of a new line of the editor, or at the end.
  while (at < text.size()) {
    const qsizetype end = ShortLineEnd(text, at);
    if (end < 0) {
      const qsizetype cut = PieceEnd(text, at);
      cursor.insertText(text.sliced(at, cut - at).toString());
      cursor.insertBlock(PieceFormat());
      at = cut;
    } else if (IsPiece(cursor.block())) {
      // The rest of a long line: a break typed here would make a piece.
      cursor.insertText(text.sliced(at, end - at).toString());
      at = end;
      if (at < text.size()) {
        cursor.insertBlock(QTextBlockFormat());
        at = AfterBreak(text, at);
      }
    } else {
      // Short lines with their breaks at once; the document makes the new
      // lines like the one they start in.
      qsizetype last = at;
      for (qsizetype lineEnd = end; lineEnd >= 0 && last - at < kLinesAtOnce; lineEnd = ShortLineEnd(text, last)) {
        last = lineEnd;
        if (last == text.size()) break;
        last = AfterBreak(text, last);
      }
      cursor.insertText(text.sliced(at, last - at).toString());
      at = last;
    }
    if (budgetMs >= 0 && clock.elapsed() >= budgetMs) break;
  }
  return at;
}

QString LongTextEditor::text() const {
  QString text;
  text.reserve(document()->characterCount());
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    if (block != document()->begin() && !IsPiece(block)) text += u'\n';
    text += block.text();
  }
  return text;
}

void LongTextEditor::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  const Qt::KeyboardModifiers held = event->modifiers() & ~Qt::KeypadModifier;
  if (enter && held & Qt::ControlModifier) {
    event->ignore();
    return;
  }
  if (isReadOnly()) {
    QPlainTextEdit::keyPressEvent(event);
    return;
  }
  const QTextCursor cursor = textCursor();
  if (event->key() == Qt::Key_Tab && held == Qt::ControlModifier) {
    insertPlainText(QStringLiteral("\t"));
  } else if (event->matches(QKeySequence::InsertParagraphSeparator) ||
             event->matches(QKeySequence::InsertLineSeparator)) {
    // A line break of the text, also inside a piece (the document would
    // make the new line a piece). Shift+Enter too: the value has no other.
    QTextCursor at = cursor;
    at.insertBlock(QTextBlockFormat());
    setTextCursor(at);
    ensureCursorVisible();
  } else if (event->key() == Qt::Key_Backspace && (held == Qt::NoModifier || held == Qt::ShiftModifier) &&
             !cursor.hasSelection() && cursor.atBlockStart() && IsPiece(cursor.block())) {
    deleteAcrossPieces(true);
  } else if (event->matches(QKeySequence::Delete) && !cursor.hasSelection() && cursor.atBlockEnd() &&
             IsPiece(cursor.block().next())) {
    deleteAcrossPieces(false);
  } else {
    QPlainTextEdit::keyPressEvent(event);
  }
}

void LongTextEditor::deleteAcrossPieces(bool before) {
  QTextCursor cursor = textCursor();
  if (before) {
    while (cursor.atBlockStart() && IsPiece(cursor.block()) && !cursor.atStart())
      cursor.movePosition(QTextCursor::PreviousCharacter);
    cursor.deletePreviousChar();
  } else {
    while (cursor.atBlockEnd() && IsPiece(cursor.block().next())) cursor.movePosition(QTextCursor::NextCharacter);
    cursor.deleteChar();
  }
  setTextCursor(cursor);
  ensureCursorVisible();
}

void LongTextEditor::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText() || isReadOnly()) return;
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  insertLines(cursor, source->text(), -1);
  cursor.endEditBlock();
  setTextCursor(cursor);
  ensureCursorVisible();
}

}  // namespace ui
