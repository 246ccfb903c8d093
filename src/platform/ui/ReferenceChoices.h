#pragma once

#include <QAbstractTableModel>

#include <memory>
#include <string>
#include <vector>

#include "platform/ado/References.h"

namespace ui {

// The key values a foreign key may take, with the referenced table's
// describing column: read a block at a time as a view scrolls to the end,
// and anew, searched in the database, for each search text.
class ReferenceChoices final : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr std::size_t BlockRows = 100;

  ReferenceChoices(std::shared_ptr<ado::References> references, const ado::ForeignKey& key,
                   QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // Shows the values holding the text (all where empty), from the first.
  void setSearch(const QString& text);
  const QString& search() const { return search_; }
  // Why the last block could not be read; empty when it was.
  const QString& failure() const { return failure_; }

 private:
  std::shared_ptr<ado::References> references_;
  const ado::ForeignKey& key_;
  QString describing_;
  QString search_;
  QString failure_;
  std::vector<ado::References::Choice> choices_;
  bool atEnd_ = false;
};

}  // namespace ui
