#pragma once
// The rows of the mail list: one item per live index row of the shown folder,
// built once per load and converted to display text only when a view asks, so
// that a folder of many thousand mails costs no widget and no conversion per
// row up front.
#include "core/CSVData.h"

#include <QAbstractTableModel>
#include <QPixmap>
#include <array>
#include <string>
#include <vector>

class TImageList;

namespace qv {

// The list's columns.
enum MailListColumn : int {
  kListKind = 0,        // 種別
  kListUnread = 1,      // 未読
  kListAttachment = 2,  // 添付
  kListProtected = 3,   // 保護
  kListFrom = 4,        // 差出人
  kListTo = 5,          // 宛先
  kListSubject = 6,     // 表題
  kListSize = 7,        // サイズ
  kListDate = 8,        // 日付
  kMailListColumns = 9,
};

// Image indexes of the mail icon list.
inline constexpr int kImageUnread = 16;
inline constexpr int kImageAttachment = 18;
inline constexpr int kImageProtected = 19;

// One list item: the cells' CP932 texts, their images (-1 none) and the
// mail's id, by which every operation finds the mail again.
struct MailListItem {
  std::array<std::string, kMailListColumns> text;
  std::array<int, kMailListColumns> image{-1, -1, -1, -1, -1, -1, -1, -1, -1};
  std::string id;
  int kind = 0;
  bool unread = false;
  bool outgoing = false;
};

// The item of an index row as the list shows it (the row may be deleted; the
// caller skips those).
MailListItem MakeMailListItem(const TCSVData& index, int row);
// The 種別 cell of a mail: kind caption and direction words, and its image.
void SetKindCell(MailListItem& item);
// Marks the item read: 未読 cleared and the kind image recomputed.
void MarkItemRead(MailListItem& item);
void SetProtectCell(MailListItem& item, bool isProtected);

class MailListModel : public QAbstractTableModel {
 public:
  explicit MailListModel(QObject* parent = nullptr);

  // The images of the item cells (MAILICON); the model keeps the pointer.
  void SetImages(const TImageList* images);

  void Clear();
  void SetItems(std::vector<MailListItem> items);
  const MailListItem& Item(int row) const { return items_[static_cast<size_t>(row)]; }
  MailListItem& MutableItem(int row) { return items_[static_cast<size_t>(row)]; }
  // Tells the views that row's cells changed.
  void ItemChanged(int row);
  int Count() const { return static_cast<int>(items_.size()); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::MoveAction; }

 private:
  QPixmap Image(int index) const;

  std::vector<MailListItem> items_;
  // Display texts converted on first use, per row and column.
  mutable std::vector<std::array<QString, kMailListColumns>> shown_;
  mutable std::vector<uint16_t> converted_;  // bit per column
  const TImageList* images_ = nullptr;
  mutable std::vector<QPixmap> pixmaps_;
};

// The drag payload of the mail list. The list's selection is what moves; the
// payload only tells which list it came from.
inline constexpr const char* kMailListMimeType = "application/x-quorvel-mail-list";
// The model a drag of mail list items started from, or null for any other data.
const MailListModel* DragSourceModel(const QMimeData* data);

}  // namespace qv
