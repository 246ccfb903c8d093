#pragma once

#include <QComboBox>
#include <QTimer>

#include <memory>

#include "platform/ado/References.h"

namespace ui {

class ReferenceChoices;

// The editor of a cell of a single-column foreign key: the text typed, with
// a drop-down of the referenced table's key values and describing column.
// What is typed searches the values in the database (after a short pause);
// the list reads on as it is scrolled. The cell takes the text, as typed
// or chosen.
class ReferenceEditor final : public QComboBox {
  Q_OBJECT
 public:
  static constexpr int SearchPauseMilliseconds = 200;

  ReferenceEditor(std::shared_ptr<ado::References> references, const ado::ForeignKey& key, QWidget* parent);

  ReferenceChoices* choices() const { return choices_; }
  // Searches for the text now, as the pause after typing would.
  void searchNow();

 private:
  ReferenceChoices* choices_;
  QTimer searchPause_;
};

}  // namespace ui
