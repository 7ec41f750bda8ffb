#include "plugins/mail/compose/MailAttachView.h"

#include "core/ui/QtText.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/compose/MailPictures.h"

#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QUrl>

#include <algorithm>

namespace qv {

namespace {

constexpr int kIconSize = 32;

// A sheet of paper with a folded corner, the base of every drawn icon.
void DrawSheet(QPainter& p, const QColor& tint) {
  QPainterPath sheet;
  sheet.moveTo(6, 2);
  sheet.lineTo(21, 2);
  sheet.lineTo(27, 8);
  sheet.lineTo(27, 30);
  sheet.lineTo(6, 30);
  sheet.closeSubpath();
  p.setPen(QPen(QColor(90, 90, 90), 1));
  p.setBrush(tint);
  p.drawPath(sheet);
  p.drawLine(21, 2, 21, 8);
  p.drawLine(21, 8, 27, 8);
}

QPixmap DrawnIcon(int icon) {
  QPixmap pix(kIconSize, kIconSize);
  pix.fill(Qt::transparent);
  QPainter p(&pix);
  p.setRenderHint(QPainter::Antialiasing);
  switch (icon) {
    case kIconPicture:
    case kIconAnimation:
    case kIconDiv6: {
      DrawSheet(p, QColor(235, 245, 255));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(120, 190, 255));
      p.drawRect(9, 11, 15, 12);
      p.setBrush(QColor(60, 160, 60));
      p.drawPolygon(QPolygon({QPoint(9, 23), QPoint(15, 15), QPoint(19, 20), QPoint(21, 18), QPoint(24, 23)}));
      p.setBrush(QColor(255, 200, 0));
      p.drawEllipse(QPoint(20, 14), 2, 2);
      if (icon == kIconDiv6) {
        p.setPen(QPen(Qt::white, 1));
        p.drawLine(16, 11, 16, 23);
        p.drawLine(9, 15, 24, 15);
        p.drawLine(9, 19, 24, 19);
      } else if (icon == kIconAnimation) {
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(9, 27, 24, 27);
      }
      break;
    }
    case kIconRingtone: {
      DrawSheet(p, QColor(255, 245, 230));
      p.setPen(QPen(QColor(160, 60, 0), 2));
      p.drawLine(19, 10, 19, 22);
      p.drawLine(19, 10, 24, 13);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(160, 60, 0));
      p.drawEllipse(QPointF(16.5, 22.5), 3, 2.5);
      break;
    }
    case kIconMediaMix: {
      DrawSheet(p, QColor(245, 235, 255));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(90, 40, 140));
      p.drawRect(9, 11, 15, 13);
      p.setBrush(Qt::white);
      for (int y = 12; y < 24; y += 3) {
        p.drawRect(10, y, 2, 2);
        p.drawRect(21, y, 2, 2);
      }
      break;
    }
    case kIconUserCharacters: {
      DrawSheet(p, QColor(255, 255, 225));
      p.setPen(QPen(QColor(40, 40, 40), 1));
      p.setBrush(Qt::NoBrush);
      for (int x = 9; x < 24; x += 5)
        for (int y = 11; y < 26; y += 5) p.drawRect(x, y, 4, 4);
      break;
    }
    default: {
      DrawSheet(p, Qt::white);
      p.setPen(QPen(QColor(150, 150, 150), 1));
      for (int y = 12; y <= 26; y += 3) p.drawLine(9, y, 24, y);
      break;
    }
  }
  return pix;
}

// Where the last attachment was saved; the next save dialog starts there.
std::filesystem::path& LastSaveFolder() {
  static std::filesystem::path folder;
  return folder;
}

}  // namespace

void SaveAttachments(QWidget* parent, const AttachmentList& list, const std::vector<int>& rows) {
  if (LastSaveFolder().empty()) LastSaveFolder() = QFile::encodeName(QDir::homePath()).toStdString();
  for (int row : rows) {
    if (row < 0 || static_cast<size_t>(row) >= list.Count()) continue;
    const MailAttachment& item = list[static_cast<size_t>(row)];
    // The preset is one file in the folder, whatever the mail called it.
    const std::filesystem::path preset = LastSaveFolder() / cp932::ToUtf8(SafeFileName(item.name));
    auto chosen = AskSaveFile(parent, preset, cp932::FromUtf8("全てのファイル (*.*)|*.*"));
    if (!chosen) continue;
    if (!WriteFileAtomically(*chosen, item.bytes)) {
      ShowInformation(parent, cp932::FromUtf8(chosen->string()) + cp932::FromUtf8("\r\nに保存できませんでした"));
      continue;
    }
    LastSaveFolder() = chosen->parent_path();
  }
}

QIcon AttachmentIcon(int iconIndex) { return QIcon(DrawnIcon(iconIndex)); }

TAttachListView::TAttachListView(AttachmentList& list, QWidget* parent) : QListWidget(parent), list_(list) {
  setObjectName(QStringLiteral("lsvAttach"));
  setViewMode(QListView::IconMode);
  setIconSize(QSize(kIconSize, kIconSize));
  setGridSize(QSize(96, 60));
  setResizeMode(QListView::Adjust);
  setMovement(QListView::Static);
  setWrapping(true);
  setWordWrap(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(true);
  setDragDropMode(QAbstractItemView::DragOnly);
  setDefaultDropAction(Qt::CopyAction);
}

void TAttachListView::SetAcceptsAttachments(bool accept) {
  accepts_ = accept;
  setAcceptDrops(accept);
  viewport()->setAcceptDrops(accept);
  setDragDropMode(accept ? QAbstractItemView::DragDrop : QAbstractItemView::DragOnly);
}

void TAttachListView::Refresh() {
  std::vector<int> selected = SelectedRows();
  const int current = currentRow();
  clear();
  for (size_t i = 0; i < list_.Count(); ++i) {
    auto* item = new QListWidgetItem(AttachmentIcon(list_[i].icon), ToQString(list_[i].name), this);
    item->setData(Qt::UserRole, static_cast<int>(i));
    item->setToolTip(ToQString(list_[i].name));
  }
  for (int row : selected)
    if (row < count()) item(row)->setSelected(true);
  if (current >= 0 && current < count()) setCurrentRow(current, QItemSelectionModel::NoUpdate);
}

std::vector<int> TAttachListView::SelectedRows() const {
  std::vector<int> rows;
  for (const QListWidgetItem* it : selectedItems()) rows.push_back(row(it));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TAttachListView::SelectRow(int r) {
  clearSelection();
  if (r >= 0 && r < count()) {
    setCurrentRow(r);
    item(r)->setSelected(true);
  }
}

std::unique_ptr<AttachmentMimeData> TAttachListView::SelectionDragData() const {
  std::vector<int> rows = SelectedRows();
  if (rows.empty()) return nullptr;
  auto data = std::make_unique<AttachmentMimeData>();
  data->source = this;
  data->rows = rows;
  for (int r : rows) data->items.push_back(list_[static_cast<size_t>(r)]);
  data->setData(AttachmentMimeData::kFormat, QByteArray());
  return data;
}

void TAttachListView::startDrag(Qt::DropActions) {
  std::unique_ptr<AttachmentMimeData> data = SelectionDragData();
  if (!data) return;
  const int first = data->rows.front();
  auto* drag = new QDrag(this);
  drag->setMimeData(data.release());
  drag->setPixmap(AttachmentIcon(list_[static_cast<size_t>(first)].icon).pixmap(kIconSize));
  drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

bool TAttachListView::Acceptable(const QMimeData* data) const {
  if (!accepts_ || !data) return false;
  if (qobject_cast<const AttachmentMimeData*>(data)) return true;
  if (!data->hasUrls()) return false;
  const QList<QUrl> urls = data->urls();
  return std::any_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); });
}

void TAttachListView::dragEnterEvent(QDragEnterEvent* event) {
  if (Acceptable(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TAttachListView::dragMoveEvent(QDragMoveEvent* event) {
  if (Acceptable(event->mimeData()))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TAttachListView::dropEvent(QDropEvent* event) {
  const QMimeData* data = event->mimeData();
  if (!Acceptable(data)) {
    event->ignore();
    return;
  }
  if (auto* attachments = qobject_cast<const AttachmentMimeData*>(data)) {
    if (attachments->source == this) {
      // Inside the view: the dragged item goes where it was dropped.
      QListWidgetItem* target = itemAt(event->position().toPoint());
      int to = target ? row(target) : count() - 1;
      if (!attachments->rows.empty() && to >= 0) {
        list_.Move(static_cast<size_t>(attachments->rows.front()), static_cast<size_t>(to));
        Refresh();
        SelectRow(to);
      }
    } else {
      for (const auto& item : attachments->items) CopyAttachment(item, list_, userImages);
      Refresh();
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit AttachmentsDropped();
    return;
  }
  std::vector<std::filesystem::path> files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) files.emplace_back(QFile::encodeName(url.toLocalFile()).toStdString());
  event->acceptProposedAction();
  emit FilesDropped(files);
}

void TAttachListView::keyPressEvent(QKeyEvent* event) {
  const auto mods = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  if (event->key() == Qt::Key_H && mods == (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) {
    emit HeaderRequested();
    return;
  }
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
    emit OpenRequested();
    return;
  }
  if (event->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
    emit DeleteRequested();
    return;
  }
  QListWidget::keyPressEvent(event);
}

}  // namespace qv
