#include "launcher/QvSelectFRM.h"

#include "controls/ImageList.h"
#include "controls/MultiButton.h"
#include "core/ui/FormPosition.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "core/data/TextFunctions.h"
#include "launcher/FormColors.h"
#include "platform/Text.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QShowEvent>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>
#include <set>

namespace qv {
namespace {

constexpr int kCaptionImage = 5;
constexpr int kAttachmentImage = 18;

std::string Field(std::string_view line, int index) { return GetField(line, "\t", index); }

}  // namespace

long long ListLineAttachments(std::string_view line) {
  const int fields = CountDelims(line, "\t") + 1;
  long long total = NumberOrZero<long long>(Field(line, 6));
  for (int i = 7; i < fields; i += 2) total += NumberOrZero<long long>(Field(line, i));
  return total;
}

TfrmSelect::TfrmSelect(QWidget* parent) : QDialog(parent) {
  setObjectName("frmSelect");
  setWindowTitle(QStringLiteral("選択受信"));
  setModal(true);
  setAutoFillBackground(true);

  imlMailIcon = new TImageList(16, 16, this);
  imlMailIcon->setObjectName("imlMailIcon");
  LoadImageListFromDll("MAILICON", *imlMailIcon);

  items = new QStandardItemModel(0, 6, this);
  struct Column {
    const char16_t* caption;
    int width;
    int sortKind;
  };
  static constexpr Column kColumns[] = {{u"No", 40, 1},      {u"差出人", 100, 0}, {u"件名", 128, 0},
                                        {u"受信日", 100, 2}, {u"サイズ", 64, 1},  {u"添付", 40, 0}};
  for (int c = 0; c < 6; ++c) {
    items->setHeaderData(c, Qt::Horizontal, QString::fromUtf16(kColumns[c].caption));
    items->setHeaderData(c, Qt::Horizontal, kColumns[c].sortKind, kColumnTagRole);
  }
  items->setHeaderData(4, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);

  lsvMailList = new QTreeView(this);
  lsvMailList->setObjectName("lsvMailList");
  sorter = new ListViewSortModel(lsvMailList, this);
  sorter->setSourceModel(items);
  lsvMailList->setModel(sorter);
  lsvMailList->setRootIsDecorated(false);
  lsvMailList->setItemsExpandable(false);
  lsvMailList->setUniformRowHeights(true);
  lsvMailList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lsvMailList->setSelectionBehavior(QAbstractItemView::SelectRows);
  lsvMailList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lsvMailList->setIconSize(QSize(16, 16));
  lsvMailList->setContextMenuPolicy(Qt::CustomContextMenu);
  lsvMailList->header()->setSectionsClickable(true);
  lsvMailList->header()->setSortIndicatorShown(false);
  for (int c = 0; c < 6; ++c) lsvMailList->setColumnWidth(c, kColumns[c].width);
  lsvMailList->installEventFilter(this);
  connect(lsvMailList->header(), &QHeaderView::sectionClicked, this,
          [this](int column) { ListViewColumnClick(lsvMailList, column); });

  actOK = new QAction(QStringLiteral("受信"), this);
  actOK->setObjectName("actOK");
  actDel = new QAction(QStringLiteral("削除"), this);
  actDel->setObjectName("actDel");
  actSelectAll = new QAction(QStringLiteral("全て選択"), this);
  actSelectAll->setObjectName("actSelectAll");
  actSelectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
  actSelectAll->setShortcutContext(Qt::WindowShortcut);
  addAction(actSelectAll);
  connect(actOK, &QAction::triggered, this, [this] {
    if (SelectedCount() > 0) done(kReceive);
  });
  connect(actDel, &QAction::triggered, this, [this] {
    if (SelectedCount() > 0) done(kDelete);
  });
  connect(actSelectAll, &QAction::triggered, this, [this] { lsvMailList->selectAll(); });
  connect(lsvMailList, &QAbstractItemView::doubleClicked, actOK, &QAction::trigger);

  popMenu = new QMenu(this);
  popMenu->setObjectName("popMenu");
  popMenu->addAction(actSelectAll);
  popMenu->addSeparator();
  popMenu->addAction(actOK);
  popMenu->addAction(actDel);
  connect(lsvMailList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { popMenu->popup(lsvMailList->viewport()->mapToGlobal(at)); });

  btnOK = new TMultiButton(this);
  btnOK->setObjectName("btnOK");
  btnOK->SetAction(actOK);
  btnDel = new TMultiButton(this);
  btnDel->setObjectName("btnDel");
  btnDel->SetAction(actDel);
  btnCancel = new TMultiButton(this);
  btnCancel->setObjectName("btnCancel");
  btnCancel->SetCaption(QStringLiteral("終了"));
  connect(btnCancel, &QAbstractButton::clicked, this, [this] { done(kEnd); });
  for (TMultiButton* b : {btnOK, btnDel, btnCancel}) {
    b->setMinimumSize(75, 25);
    b->setAutoDefault(false);
  }

  connect(lsvMailList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { actOKUpdate(); });
  connect(sorter, &QAbstractItemModel::modelReset, this, [this] { actOKUpdate(); });
  actOKUpdate();

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnDel);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lsvMailList, 1);
  layout->addLayout(buttons);
  resize(520, 300);
}

void TfrmSelect::SetLines(const std::vector<std::string>& lines) {
  items->removeRows(0, items->rowCount());
  const QIcon captionIcon(QPixmap::fromImage(imlMailIcon->Image(kCaptionImage)));
  const QIcon attachmentIcon(QPixmap::fromImage(imlMailIcon->Image(kAttachmentImage)));
  for (const std::string& line : lines) {
    const long long attachments = ListLineAttachments(line);
    QList<QStandardItem*> row;
    auto* caption = new QStandardItem(ToQString(Field(line, 0)));
    if (!imlMailIcon->Image(kCaptionImage).isNull()) caption->setIcon(captionIcon);
    row << caption;
    for (int f : {2, 3, 4}) row << new QStandardItem(ToQString(Field(line, f)));
    auto* size = new QStandardItem(QString::number(NumberOrZero<long long>(Field(line, 5)) + attachments));
    size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row << size;
    auto* attachment = new QStandardItem;
    if (attachments >= 1 && !imlMailIcon->Image(kAttachmentImage).isNull()) attachment->setIcon(attachmentIcon);
    row << attachment;
    items->appendRow(row);
  }
  sorter->Resort();
  actOKUpdate();
}

int TfrmSelect::SelectedCount() const { return static_cast<int>(lsvMailList->selectionModel()->selectedRows().size()); }

std::vector<std::string> TfrmSelect::SelectedLines(const std::vector<std::string>& lines) const {
  std::set<std::string> captions;
  for (const QModelIndex& index : lsvMailList->selectionModel()->selectedRows())
    captions.insert(FromQString(index.data(Qt::DisplayRole).toString()));
  std::vector<std::string> chosen;
  std::set<std::string> taken;
  for (const std::string& line : lines) {
    const std::string caption = line.substr(0, line.find('\t'));
    if (line.find('\t') == std::string::npos || !captions.count(caption) || taken.count(caption)) continue;
    taken.insert(caption);
    chosen.push_back(line);
  }
  return chosen;
}

void TfrmSelect::actOKUpdate() {
  const bool any = SelectedCount() > 0;
  actOK->setEnabled(any);
  actDel->setEnabled(any);
  actSelectAll->setEnabled(items->rowCount() > 0);
}

void TfrmSelect::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  LoadFormPosition(this, kPlaceCentre, 0, "Select");
  ApplyFormColors(*this, {}, {btnOK, btnDel, btnCancel});
}

void TfrmSelect::done(int result) {
  SaveFormPosition(this, "Select");
  QDialog::done(result);
}

bool TfrmSelect::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lsvMailList && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        actOK->trigger();
        return true;
      case Qt::Key_Delete:
        actDel->trigger();
        return true;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace qv
