#pragma once
// The rows of the mail list: one item per live index row of the shown folder,
// built once per load and converted to display text only when a view asks, so
// that a folder of many thousand mails costs no widget and no conversion per
// row up front.
#include "core/data/CSVData.h"

#include <QAbstractTableModel>
#include <QPixmap>
#include <array>
#include <memory>
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

// One list item: the mail's index row and the states the list shows. Cell
// texts come from the row when a view asks for them.
struct MailListItem {
  int row = 0;  // in the loaded index
  int kind = 0;
  bool unread = false;
  bool outgoing = false;
  bool attachment = false;
  bool isProtected = false;
  bool damaged = false;  // its bytes are not in the store
};

// The item of an index row as the list shows it (the row may be deleted; the
// caller skips those).
MailListItem MakeMailListItem(const TCSVData& index, int row);
// The kind cell of a mail whose bytes are lost.
const std::string& DamagedMailCaption();
// A cell's CP932 text and its image (-1 none).
std::string MailListCellText(const TCSVData& index, const MailListItem& item, int column);
int MailListCellImage(const MailListItem& item, int column);

class MailListModel : public QAbstractTableModel {
 public:
  explicit MailListModel(QObject* parent = nullptr);

  // The images of the item cells (MAILICON); the model keeps the pointer.
  void SetImages(const TImageList* images);

  void Clear();
  // The folder's loaded index and the items of its live rows.
  void SetItems(TCSVData index, std::vector<MailListItem> items);
  const MailListItem& Item(int row) const { return items_[static_cast<size_t>(row)]; }
  MailListItem& MutableItem(int row) { return items_[static_cast<size_t>(row)]; }
  // The mail's id (index column 3), by which every operation finds it again.
  std::string Id(int row) const;
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

  TCSVData index_;
  std::vector<MailListItem> items_;
  // Display texts converted on first use: only the rows a view shows or
  // sorts by ever cost a conversion.
  struct Shown {
    std::array<QString, kMailListColumns> text;
    uint16_t converted = 0;  // bit per column
  };
  mutable std::vector<std::unique_ptr<Shown>> shown_;
  const TImageList* images_ = nullptr;
  mutable std::vector<QPixmap> pixmaps_;
};

// The drag payload of the mail list. The list's selection is what moves; the
// payload only tells which list it came from.
inline constexpr const char* kMailListMimeType = "application/x-quorvel-mail-list";
// The model a drag of mail list items started from, or null for any other data.
const MailListModel* DragSourceModel(const QMimeData* data);

}  // namespace qv
