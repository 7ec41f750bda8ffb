#include "plugins/mail/list/MailListModel.h"

#include "controls/ImageList.h"
#include "core/ui/FormPosition.h"
#include "core/data/MailStore.h"
#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "plugins/mail/pickers/MailAddressLists.h"

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
  std::string damaged = cp932::FromUtf8("破損");
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

// The recipients of a To cell, without the delivery times that a timed mail
// stores in front of its addresses (the centre reads them there).
std::string RecipientsShown(std::string_view to) {
  std::vector<Recipient> list = ParseRecipients(to, true);
  bool timed = false;
  for (Recipient& r : list) {
    if (!IsDeliveryTimeText(r.time)) continue;
    r.time.clear();
    timed = true;
  }
  return timed ? RecipientsText(list, true) : std::string(to);
}

}  // namespace

const MailListModel* DragSourceModel(const QMimeData* data) {
  auto* ours = dynamic_cast<const MailListMimeData*>(data);
  return ours ? ours->model_ : nullptr;
}

MailListItem MakeMailListItem(const TCSVData& index, int row) {
  MailListItem item;
  item.row = row;
  item.kind = static_cast<int>(ToInt(IndexCell(index, row, kColKind), 0));
  item.unread = IndexCell(index, row, kColUnread) == "1";
  item.outgoing = IndexCell(index, row, kColDirection) == "1";
  item.attachment = IndexCell(index, row, kColAttachments) == "1";
  item.isProtected = IndexCell(index, row, kColProtected) == "1";
  return item;
}

const std::string& DamagedMailCaption() { return W().damaged; }

std::string MailListCellText(const TCSVData& index, const MailListItem& item, int column) {
  switch (column) {
    case kListKind: {
      if (item.damaged) return W().damaged;
      if (item.kind > 15) return W().unknownKind;
      std::string cell = MailKindCaption(item.kind);
      if (!item.outgoing) return cell + W().received;
      if (item.unread) cell += W().unsent;
      return cell + W().sent;
    }
    case kListUnread:
      return item.unread && !item.outgoing ? W().unread : std::string();
    case kListAttachment:
      return item.attachment ? W().attachment : std::string();
    case kListProtected:
      return item.isProtected ? W().isProtected : std::string();
    case kListFrom:
      return std::string(IndexCell(index, item.row, kColFrom));
    case kListTo:
      return RecipientsShown(IndexCell(index, item.row, kColTo));
    case kListSubject:
      return std::string(IndexCell(index, item.row, kColSubject));
    case kListSize: {
      if (item.damaged) return {};
      // The stored range ends with the mail's final line break.
      long long size =
          ToInt(IndexCell(index, item.row, kColEnd), 0) - ToInt(IndexCell(index, item.row, kColStart), 0) - 2;
      return std::to_string(size < 0 ? 0 : size);
    }
    case kListDate:
      return std::string(IndexCell(index, item.row, kColDate));
    default:
      return {};
  }
}

int MailListCellImage(const MailListItem& item, int column) {
  switch (column) {
    case kListKind:
      return item.kind > 15 || item.damaged ? -1
                                            : MailImageIndex(item.kind, item.outgoing ? 1 : 0, item.unread ? 1 : 0);
    case kListUnread:
      return item.unread && !item.outgoing ? kImageUnread : -1;
    case kListAttachment:
      return item.attachment ? kImageAttachment : -1;
    case kListProtected:
      return item.isProtected ? kImageProtected : -1;
    default:
      return -1;
  }
}

MailListModel::MailListModel(QObject* parent) : QAbstractTableModel(parent) {}

void MailListModel::SetImages(const TImageList* images) {
  images_ = images;
  pixmaps_.clear();
  if (!items_.empty()) emit dataChanged(index(0, 0), index(Count() - 1, kMailListColumns - 1), {Qt::DecorationRole});
}

void MailListModel::Clear() { SetItems({}, {}); }

void MailListModel::SetItems(TCSVData index, std::vector<MailListItem> items) {
  beginResetModel();
  index_ = std::move(index);
  items_ = std::move(items);
  shown_.clear();
  shown_.resize(items_.size());
  endResetModel();
}

std::string MailListModel::Id(int row) const {
  return std::string(IndexCell(index_, items_[static_cast<size_t>(row)].row, kColId));
}

void MailListModel::ItemChanged(int row) {
  if (row < 0 || row >= Count()) return;
  shown_[static_cast<size_t>(row)].reset();
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
      auto& shown = shown_[row];
      if (!shown) shown = std::make_unique<Shown>();
      const uint16_t bit = static_cast<uint16_t>(1u << col);
      if (!(shown->converted & bit)) {
        shown->text[static_cast<size_t>(col)] = ToQString(MailListCellText(index_, items_[row], col));
        shown->converted |= bit;
      }
      return shown->text[static_cast<size_t>(col)];
    }
    case Qt::DecorationRole: {
      int image = MailListCellImage(items_[row], col);
      if (image < 0) return {};
      QPixmap p = Image(image);
      return p.isNull() ? QVariant() : QVariant(p);
    }
    case Qt::TextAlignmentRole:
      if (col == kListSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return {};
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
