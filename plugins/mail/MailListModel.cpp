#include "plugins/mail/MailListModel.h"

#include "controls/ImageList.h"
#include "core/FormPosition.h"
#include "core/MailStore.h"
#include "core/QtText.h"
#include "platform/Cp932.h"

#include <QMimeData>
#include <charconv>

namespace qv {
namespace {

struct Words {
  std::string unknownKind = cp932::FromUtf8("未確認種別");
  std::string unsent = cp932::FromUtf8("未");
  std::string sent = cp932::FromUtf8("送信");
  std::string received = cp932::FromUtf8("受信");
  std::string unread = cp932::FromUtf8("未読");
  std::string attachment = cp932::FromUtf8("添付あり");
  std::string isProtected = cp932::FromUtf8("保護");
};
const Words& W() {
  static const Words words;
  return words;
}

long long ToInt(std::string_view s, long long def) {
  long long v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty() ? v : def;
}

class MailListMimeData : public QMimeData {
 public:
  explicit MailListMimeData(const MailListModel* model) : model_(model) {
    setData(kMailListMimeType, QByteArray());
  }
  const MailListModel* model_;
};

}  // namespace

const MailListModel* DragSourceModel(const QMimeData* data) {
  auto* ours = dynamic_cast<const MailListMimeData*>(data);
  return ours ? ours->model_ : nullptr;
}

void SetKindCell(MailListItem& item) {
  std::string& cell = item.text[kListKind];
  if (item.kind > 15) {
    cell = W().unknownKind;
    item.image[kListKind] = -1;
    return;
  }
  cell = MailKindCaption(item.kind);
  if (item.outgoing) {
    if (item.unread) cell += W().unsent;
    cell += W().sent;
  } else {
    cell += W().received;
  }
  item.image[kListKind] = MailImageIndex(item.kind, item.outgoing ? 1 : 0, item.unread ? 1 : 0);
}

void MarkItemRead(MailListItem& item) {
  item.unread = false;
  item.text[kListUnread].clear();
  item.image[kListUnread] = -1;
  SetKindCell(item);
}

void SetProtectCell(MailListItem& item, bool isProtected) {
  item.text[kListProtected] = isProtected ? W().isProtected : std::string();
  item.image[kListProtected] = isProtected ? kImageProtected : -1;
}

MailListItem MakeMailListItem(const TCSVData& index, int row) {
  MailListItem item;
  item.kind = static_cast<int>(ToInt(IndexCell(index, row, kColKind), 0));
  item.unread = IndexCell(index, row, kColUnread) == "1";
  item.outgoing = IndexCell(index, row, kColDirection) == "1";
  SetKindCell(item);
  if (item.unread && !item.outgoing) {
    item.text[kListUnread] = W().unread;
    item.image[kListUnread] = kImageUnread;
  }
  if (IndexCell(index, row, kColAttachments) == "1") {
    item.text[kListAttachment] = W().attachment;
    item.image[kListAttachment] = kImageAttachment;
  }
  SetProtectCell(item, IndexCell(index, row, kColProtected) == "1");
  item.text[kListFrom] = IndexCell(index, row, kColFrom);
  item.text[kListTo] = IndexCell(index, row, kColTo);
  item.text[kListSubject] = IndexCell(index, row, kColSubject);
  // The stored range ends with the mail's final line break.
  long long size = ToInt(IndexCell(index, row, kColEnd), 0) - ToInt(IndexCell(index, row, kColStart), 0) - 2;
  item.text[kListSize] = std::to_string(size < 0 ? 0 : size);
  item.text[kListDate] = IndexCell(index, row, kColDate);
  item.id = IndexCell(index, row, kColId);
  return item;
}

MailListModel::MailListModel(QObject* parent) : QAbstractTableModel(parent) {}

void MailListModel::SetImages(const TImageList* images) {
  images_ = images;
  pixmaps_.clear();
  if (!items_.empty()) emit dataChanged(index(0, 0), index(Count() - 1, kMailListColumns - 1), {Qt::DecorationRole});
}

void MailListModel::Clear() { SetItems({}); }

void MailListModel::SetItems(std::vector<MailListItem> items) {
  beginResetModel();
  items_ = std::move(items);
  shown_.assign(items_.size(), {});
  converted_.assign(items_.size(), 0);
  endResetModel();
}

void MailListModel::ItemChanged(int row) {
  if (row < 0 || row >= Count()) return;
  converted_[static_cast<size_t>(row)] = 0;
  emit dataChanged(index(row, 0), index(row, kMailListColumns - 1));
}

int MailListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }
int MailListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kMailListColumns; }

QPixmap MailListModel::Image(int i) const {
  if (!images_ || i < 0 || i >= images_->Count()) return {};
  if (pixmaps_.size() != static_cast<size_t>(images_->Count())) pixmaps_.assign(static_cast<size_t>(images_->Count()), {});
  QPixmap& p = pixmaps_[static_cast<size_t>(i)];
  if (p.isNull()) p = QPixmap::fromImage(images_->Image(i));
  return p;
}

QVariant MailListModel::data(const QModelIndex& idx, int role) const {
  if (!idx.isValid() || idx.row() >= Count() || idx.column() >= kMailListColumns) return {};
  const size_t row = static_cast<size_t>(idx.row());
  const int col = idx.column();
  switch (role) {
    case Qt::DisplayRole: {
      const uint16_t bit = static_cast<uint16_t>(1u << col);
      if (!(converted_[row] & bit)) {
        shown_[row][static_cast<size_t>(col)] = ToQString(items_[row].text[static_cast<size_t>(col)]);
        converted_[row] |= bit;
      }
      return shown_[row][static_cast<size_t>(col)];
    }
    case Qt::DecorationRole: {
      int image = items_[row].image[static_cast<size_t>(col)];
      if (image < 0) return {};
      QPixmap p = Image(image);
      return p.isNull() ? QVariant() : QVariant(p);
    }
    case Qt::TextAlignmentRole:
      if (col == kListSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
    case Qt::UserRole:
      return ToQString(items_[row].id);
    default:
      return {};
  }
}

QVariant MailListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kMailListColumns) return {};
  static const char* const captions[kMailListColumns] = {"種別", "未読", "添付", "保護", "差出人",
                                                         "宛先", "表題", "サイズ", "日付"};
  if (role == Qt::DisplayRole) return QString::fromUtf8(captions[section]);
  if (role == kColumnTagRole) return section == kListSize ? 1 : section == kListDate ? 2 : 0;
  if (role == Qt::TextAlignmentRole && section == kListSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags MailListModel::flags(const QModelIndex& idx) const {
  if (!idx.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList MailListModel::mimeTypes() const { return {QString::fromLatin1(kMailListMimeType)}; }

QMimeData* MailListModel::mimeData(const QModelIndexList& indexes) const {
  if (indexes.isEmpty()) return nullptr;
  return new MailListMimeData(this);
}

}  // namespace qv
