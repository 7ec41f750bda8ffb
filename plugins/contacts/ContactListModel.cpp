#include "plugins/contacts/ContactListModel.h"

#include "core/FormPosition.h"
#include "core/QtText.h"

namespace qv {

int TContactListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }
int TContactListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns(); }

void TContactListModel::Forget(int row) {
  if (row >= 0 && static_cast<size_t>(row) < shown_.size()) shown_[static_cast<size_t>(row)].reset();
}

void TContactListModel::ForgetAll() { shown_.clear(); }

QVariant TContactListModel::data(const QModelIndex& idx, int role) const {
  if (role != Qt::DisplayRole || !idx.isValid() || idx.row() >= Count() || idx.column() >= Columns()) return {};
  const auto row = static_cast<size_t>(idx.row()), col = static_cast<size_t>(idx.column());
  if (shown_.size() != static_cast<size_t>(Count())) shown_.resize(static_cast<size_t>(Count()));
  auto& shown = shown_[row];
  if (!shown) {
    shown = std::make_unique<Shown>();
    shown->text.resize(static_cast<size_t>(Columns()));
    shown->converted.resize(static_cast<size_t>(Columns()));
  }
  if (!shown->converted[col]) {
    QString text = ToQString(CellText(idx.row(), idx.column()));
    // A list row is one line: the line breaks of a memo show as blanks.
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    shown->text[col] = std::move(text);
    shown->converted[col] = true;
  }
  return shown->text[col];
}

QVariant TContactListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= Columns()) return {};
  if (role == Qt::DisplayRole) return ToQString(Caption(section));
  if (role == kColumnTagRole) return ColumnTag(section);
  return {};
}

Qt::ItemFlags TContactListModel::flags(const QModelIndex& idx) const {
  if (!idx.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace qv
