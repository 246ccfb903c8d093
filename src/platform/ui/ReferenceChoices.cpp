#include "ReferenceChoices.h"

#include <exception>

namespace ui {

ReferenceChoices::ReferenceChoices(std::shared_ptr<ado::References> references, const ado::ForeignKey& key,
                                   QObject* parent)
    : QAbstractTableModel(parent), references_(std::move(references)), key_(key) {
  try {
    describing_ = QString::fromStdString(references_->DescribingColumn(key_));
  } catch (const std::exception& failure) {
    failure_ = QString::fromUtf8(failure.what());
  }
  fetchMore({});
}

int ReferenceChoices::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(choices_.size());
}

int ReferenceChoices::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : describing_.isEmpty() ? 1 : 2;
}

QVariant ReferenceChoices::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  const ado::References::Choice& choice = choices_.at(static_cast<std::size_t>(index.row()));
  if (index.column() == 0) return QString::fromStdString(choice.key);
  return choice.description ? QString::fromStdString(*choice.description) : QStringLiteral("NULL");
}

QVariant ReferenceChoices::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == 0 ? QString::fromStdString(key_.referencedColumns.front()) : describing_;
}

bool ReferenceChoices::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !atEnd_; }

void ReferenceChoices::fetchMore(const QModelIndex& parent) {
  if (parent.isValid() || atEnd_) return;
  std::vector<ado::References::Choice> block;
  try {
    const std::optional<std::string> after =
        choices_.empty() ? std::nullopt : std::optional<std::string>(choices_.back().key);
    block = references_->Choices(key_, search_.toStdString(), after, BlockRows);
    failure_.clear();
  } catch (const std::exception& failure) {
    failure_ = QString::fromUtf8(failure.what());
  }
  atEnd_ = block.size() < BlockRows;
  if (block.empty()) return;
  const int first = static_cast<int>(choices_.size());
  beginInsertRows({}, first, first + static_cast<int>(block.size()) - 1);
  for (auto& choice : block) choices_.push_back(std::move(choice));
  endInsertRows();
}

void ReferenceChoices::setSearch(const QString& text) {
  beginResetModel();
  search_ = text;
  choices_.clear();
  atEnd_ = false;
  endResetModel();
  fetchMore({});
}

}  // namespace ui
