#pragma once
// The rows of a contact list (phone book or bookmarks): one item per entry in
// storage order, its cells converted to display text only when a view asks,
// so that a list of many thousand entries costs no conversion up front. The
// view sorts through a ListViewSortModel; "list order" is the view's order.
#include <QAbstractTableModel>
#include <QString>
#include <algorithm>
#include <string>
#include <vector>

namespace qv {

class TContactListModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;

  virtual int Count() const = 0;
  // Removes the rows (storage rows, any order).
  virtual void RemoveRows(std::vector<int> rows) = 0;
  virtual void ClearRows() = 0;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 protected:
  virtual int Columns() const = 0;
  // CP932 captions and cell texts; the column's comparison tag (0/2 text, 1 number).
  virtual const std::string& Caption(int column) const = 0;
  virtual int ColumnTag(int column) const = 0;
  virtual std::string_view CellText(int row, int column) const = 0;

  // Forget the converted texts of a row, or of all rows.
  void Forget(int row);
  void ForgetAll();

 private:
  // Converted texts by column: sorting by a column converts that column
  // alone, and a reload frees one vector a column, not one a row.
  struct Shown {
    std::vector<QString> text;
    std::vector<bool> converted;
  };
  mutable std::vector<Shown> shown_;
};

// The model of a list of entries of one kind.
template <typename Entry>
class TEntryListModel : public TContactListModel {
 public:
  using TContactListModel::TContactListModel;

  const std::vector<Entry>& Entries() const { return entries_; }
  const Entry& At(int row) const { return entries_[static_cast<size_t>(row)]; }
  int Count() const override { return static_cast<int>(entries_.size()); }

  void SetEntries(std::vector<Entry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    ForgetAll();
    endResetModel();
  }
  // Appends the entries; the first new storage row.
  int Append(std::vector<Entry> more) {
    const int first = Count();
    if (more.empty()) return first;
    beginInsertRows({}, first, first + static_cast<int>(more.size()) - 1);
    for (auto& e : more) entries_.push_back(std::move(e));
    ForgetAll();
    endInsertRows();
    return first;
  }
  // Replaces a row and tells the views.
  void Replace(int row, Entry entry) {
    entries_[static_cast<size_t>(row)] = std::move(entry);
    Forget(row);
    emit dataChanged(index(row, 0), index(row, Columns() - 1));
  }
  void RemoveRows(std::vector<int> rows) override {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the last row up, so the rows before keep their numbers.
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
      if (*it < 0 || *it >= Count()) continue;
      beginRemoveRows({}, *it, *it);
      entries_.erase(entries_.begin() + *it);
      endRemoveRows();
    }
    ForgetAll();
  }
  void ClearRows() override { SetEntries({}); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace qv
