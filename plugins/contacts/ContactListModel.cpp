#include "plugins/contacts/ContactListModel.h"

#include "core/ui/FormPosition.h"
#include "core/ui/QtText.h"

namespace qv {

int TContactListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }
int TContactListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Columns(); }

void TContactListModel::Forget(int row) {
  for (Shown& column : shown_)
    if (row >= 0 && static_cast<size_t>(row) < column.converted.size()) column.converted[static_cast<size_t>(row)] = false;
}

void TContactListModel::ForgetAll() { shown_.clear(); }

QVariant TContactListModel::data(const QModelIndex& idx, int role) const {
  if (role != Qt::DisplayRole || !idx.isValid() || idx.row() >= Count() || idx.column() >= Columns()) return {};
  const auto row = static_cast<size_t>(idx.row()), col = static_cast<size_t>(idx.column());
  if (shown_.size() != static_cast<size_t>(Columns())) shown_.resize(static_cast<size_t>(Columns()));
  Shown& column = shown_[col];
  if (column.converted.size() != static_cast<size_t>(Count())) {
    column.text.assign(static_cast<size_t>(Count()), QString());
    column.converted.assign(static_cast<size_t>(Count()), false);
  }
  if (!column.converted[row]) {
    QString text = ToQString(CellText(idx.row(), idx.column()));
    // A list row is one line: the line breaks of a memo show as blanks.
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    column.text[row] = std::move(text);
    column.converted[row] = true;
  }
  return column.text[row];
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
