#include "ReferenceEditor.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include <limits>

#include "ReferenceChoices.h"

namespace ui {

ReferenceEditor::ReferenceEditor(std::shared_ptr<ado::References> references, const ado::ForeignKey& key,
                                 QWidget* parent)
    : QComboBox(parent), choices_(new ReferenceChoices(std::move(references), key, this)) {
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  // The database searches; a completer over the rows read would not.
  setCompleter(nullptr);
  auto* list = new QTableView(this);
  list->horizontalHeader()->setStretchLastSection(true);
  list->verticalHeader()->hide();
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAccessibleName(QStringLiteral("Values of ") + QString::fromStdString(key.referencedTable));
  setModel(choices_);
  setView(list);
  setModelColumn(0);
  lineEdit()->setMaxLength(std::numeric_limits<int>::max());
  searchPause_.setSingleShot(true);
  searchPause_.setInterval(SearchPauseMilliseconds);
  connect(lineEdit(), &QLineEdit::textEdited, this, [this] { searchPause_.start(); });
  connect(&searchPause_, &QTimer::timeout, this, &ReferenceEditor::searchNow);
}

void ReferenceEditor::searchNow() {
  searchPause_.stop();
  // A reset list must not put its first value over what was typed.
  const QString typed = currentText();
  const int cursor = lineEdit()->cursorPosition();
  choices_->setSearch(typed);
  setCurrentIndex(-1);
  setEditText(typed);
  lineEdit()->setCursorPosition(cursor);
}

}  // namespace ui
