// The larger editor of a text cell ("Edit in a window..."): a value with a
// line far too long to lay out whole is shown in pieces, and whatever is
// typed, deleted or pasted across their ends changes the value exactly so.
// Its keys: Ctrl+Enter is OK, Tab moves on, Ctrl+Tab types a tab, and
// changes go on Cancel or Esc only once the user agrees.
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include "platform/ui/LongTextEditor.h"
#include "platform/ui/ValueEditorDialog.h"

namespace {

constexpr qsizetype Piece = ui::LongTextEditor::PieceCharacters;

// A line of two and a half pieces (no blanks, so cut at full length), then
// a short one.
const QString LongLine = QString(2 * Piece + Piece / 2, QLatin1Char('a'));
const QString Value = LongLine + QStringLiteral("\nshort");
// What Ctrl+V pastes: a line longer than two pieces, and a short one.
const QString Pasted = QString(2 * Piece + 7, QLatin1Char('p')) + QStringLiteral("\nq");

enum class Action { None, Type, Enter, Backspace, Delete, Paste, DeleteSelection, DeleteSelectionAndUndo };

// Puts the editor's cursor in its line `block`, `offset` characters in;
// `selected` characters on from there are selected.
void PlaceCursor(ui::LongTextEditor& editor, int block, int offset, int selected = 0) {
  QTextCursor cursor(editor.document()->findBlockByNumber(block));
  cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::MoveAnchor, offset);
  cursor.movePosition(QTextCursor::NextCharacter, QTextCursor::KeepAnchor, selected);
  editor.setTextCursor(cursor);
}

}  // namespace

class ValueEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void editsAcrossPiecesChangeTheValueExactly_data() {
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("offset");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("expected");
    const auto with = [](qsizetype at, qsizetype removed, const QString& inserted) {
      return QString(Value).replace(at, removed, inserted);
    };
    QTest::newRow("nothing") << 1 << 0 << Action::None << Value;
    QTest::newRow("typed at a piece's start") << 1 << 0 << Action::Type << with(Piece, 0, "x");
    QTest::newRow("Enter inside a piece") << 1 << 5 << Action::Enter << with(Piece + 5, 0, "\n");
    QTest::newRow("Backspace at a piece's start") << 1 << 0 << Action::Backspace << with(Piece - 1, 1, "");
    QTest::newRow("Delete at a piece's end") << 0 << int(Piece) << Action::Delete << with(Piece, 1, "");
    QTest::newRow("Backspace at a line's start") << 3 << 0 << Action::Backspace << with(LongLine.size(), 1, "");
    QTest::newRow("pasted long line") << 2 << 5 << Action::Paste << with(2 * Piece + 5, 0, Pasted);
    // 20 places of the cursor, one of them the end of a piece.
    QTest::newRow("selection across pieces deleted") << 0 << int(Piece - 10) << Action::DeleteSelection
                                                     << with(Piece - 10, 19, "");
    QTest::newRow("... and undone") << 0 << int(Piece - 10) << Action::DeleteSelectionAndUndo << Value;
  }
  void editsAcrossPiecesChangeTheValueExactly() {
    QFETCH(int, block);
    QFETCH(int, offset);
    QFETCH(Action, action);
    QFETCH(QString, expected);
    ui::ValueEditorDialog dialog("note", Value);
    dialog.show();
    ui::LongTextEditor* editor = dialog.textEditor();
    QTRY_VERIFY(!editor->loading());
    QCOMPARE(editor->document()->blockCount(), 4);
    QApplication::clipboard()->setText(Pasted);
    PlaceCursor(*editor, block, offset, action == Action::DeleteSelection || action == Action::DeleteSelectionAndUndo
                                            ? 20 : 0);
    switch (action) {
      case Action::None: break;
      case Action::Type: QTest::keyClick(editor, Qt::Key_X); break;
      case Action::Enter: QTest::keyClick(editor, Qt::Key_Return); break;
      case Action::Backspace: QTest::keyClick(editor, Qt::Key_Backspace); break;
      case Action::Delete:
      case Action::DeleteSelection: QTest::keyClick(editor, Qt::Key_Delete); break;
      case Action::Paste: QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier); break;
      case Action::DeleteSelectionAndUndo:
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
        break;
    }
    QCOMPARE(dialog.value().size(), expected.size());
    QVERIFY(dialog.value() == expected);
    QCOMPARE(dialog.changed(), expected != Value);
    // A long line pasted goes in pieces too: no line of the editor grows by
    // more than one.
    for (QTextBlock line = editor->document()->begin(); line.isValid(); line = line.next())
      QVERIFY2(line.length() <= 2 * Piece, qPrintable(QString::number(line.length())));
  }

  void keysOfTheWindow_data() {
    QTest::addColumn<QString>("typed");  // before the key
    QTest::addColumn<int>("key");        // 0: a click on Cancel
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("discard");   // the answer to the question, if asked
    QTest::addColumn<int>("result");     // -1: still open
    QTest::addColumn<bool>("asked");
    QTest::addColumn<QString>("value");
    const Qt::KeyboardModifiers none, control(Qt::ControlModifier);
    const int open = -1, accepted = QDialog::Accepted, rejected = QDialog::Rejected;
    QTest::newRow("Ctrl+Enter") << "x" << int(Qt::Key_Return) << control << false << accepted << false << "ax";
    QTest::newRow("Tab") << "" << int(Qt::Key_Tab) << none << false << open << false << "a";
    QTest::newRow("Ctrl+Tab") << "" << int(Qt::Key_Tab) << control << false << open << false << "\ta";
    QTest::newRow("Esc, nothing changed") << "" << int(Qt::Key_Escape) << none << false << rejected << false << "a";
    QTest::newRow("Esc, changes kept") << "x" << int(Qt::Key_Escape) << none << false << open << true << "ax";
    QTest::newRow("Esc, changes discarded") << "x" << int(Qt::Key_Escape) << none << true << rejected << true << "ax";
    QTest::newRow("Cancel, changes kept") << "x" << 0 << none << false << open << true << "ax";
  }
  void keysOfTheWindow() {
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, discard);
    QFETCH(int, result);
    QFETCH(bool, asked);
    QFETCH(QString, value);
    ui::ValueEditorDialog dialog("note", "a");
    QStringList questions;
    dialog.setConfirmation([&](const QString& question) {
      questions << question;
      return discard;
    });
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ui::LongTextEditor* editor = dialog.textEditor();
    editor->setFocus();
    editor->moveCursor(QTextCursor::End);
    QTest::keyClicks(editor, typed);
    editor->moveCursor(QTextCursor::Start);
    if (key == 0)
      dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    else
      QTest::keyClick(editor, Qt::Key(key), modifiers);
    QCOMPARE(dialog.isVisible() ? -1 : dialog.result(), result);
    QCOMPARE(questions, asked ? QStringList{"Discard your changes?"} : QStringList{});
    QCOMPARE(dialog.value(), value);
    // Tab leaves the text for the next control.
    QCOMPARE(dialog.focusWidget() == editor, key != Qt::Key_Tab || modifiers != Qt::NoModifier);
  }
};

Q_DECLARE_METATYPE(Action)

QTEST_MAIN(ValueEditorTest)
#include "tst_value_editor.moc"
