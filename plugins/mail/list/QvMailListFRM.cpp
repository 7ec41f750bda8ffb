#include "plugins/mail/list/QvMailListFRM.h"

#include "controls/ImageList.h"
#include "core/ui/BusyCursor.h"
#include "core/ui/Dialogs.h"
#include "core/ui/FormPosition.h"
#include "core/data/HandsetExchange.h"
#include "core/data/LegacyNames.h"
#include "core/data/MailStore.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/SettingsKeys.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"
#include "core/ui/Dialogs.h"
#include "plugins/mail/history/MailHistory.h"
#include "plugins/mail/MailHost.h"
#include "plugins/mail/list/MailIcons.h"
#include "plugins/mail/MailWindows.h"
#include "plugins/mail/list/MailOpen.h"
#include "plugins/mail/compose/QvMailSendFRM.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragMoveEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QKeyEvent>
#include <QShowEvent>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

namespace qv {

TfrmMailList* frmMailList = nullptr;

namespace {

constexpr int kImageRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;  // the folder name's own bytes
constexpr const char* kIdent = "MailList";

TfrmMailList::MailOpener& Opener() {
  static TfrmMailList::MailOpener opener;
  return opener;
}


const std::string& Trash() { return FixedFolderName(FixedFolder::Trash); }

// Case-insensitive for ASCII letters only, so no trail byte is ever folded.
bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    size_t n = cp932::CharLength(a, i);
    if (n == 2) {
      if (a[i] != b[i] || i + 1 >= b.size() || a[i + 1] != b[i + 1]) return false;
    } else {
      auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
      if (lower(a[i]) != lower(b[i])) return false;
    }
    i += n;
  }
  return true;
}

// A folder's name as the window shows it: one whose file name has no CP932
// form shows its file name.
QString FolderCaption(std::string_view name) {
  return IsRawName(name) ? QString::fromStdString(NativeName(name)) : ToQString(name);
}

// The same in a CP932 message.
std::string FolderText(const std::string& name) { return IsRawName(name) ? ShownPath(NativeName(name)) : name; }

std::filesystem::path FolderFile(std::string_view folder, const char* ext) {
  return PathIn(GetMailFolder(), std::string(folder) + ext);
}

bool Exists(const std::filesystem::path& p) {
  std::error_code ec;
  return std::filesystem::exists(p, ec);
}

bool BothFolderFilesExist(std::string_view folder) {
  return Exists(FolderFile(folder, ".qvm")) && Exists(FolderFile(folder, ".qvs"));
}

// A folder file that is there but no file (a folder of that name, say) can
// never be opened: the folder is damaged, not busy.
bool FolderFilesUnusable(std::string_view folder) {
  for (const char* ext : {".qvm", ".qvs"}) {
    std::error_code ec;
    const auto status = std::filesystem::status(FolderFile(folder, ext), ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return true;
  }
  return false;
}

int FindRowById(const TCSVData& index, std::string_view id) {
  for (int r = 0; r < index.RowCount(); ++r)
    if (IndexCell(index, r, kColId) == id) return r;
  return -1;
}

int FindLiveRowById(const TCSVData& index, std::string_view id) {
  for (int r = 0; r < index.RowCount(); ++r)
    if (IsLiveRow(index, r) && IndexCell(index, r, kColId) == id) return r;
  return -1;
}

// A text file's lines, split at CR LF, CR or LF, as a string list loads them.
std::vector<std::string> ReadLines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

const char* const kBuiltInPicText[] = {
    "HEART", "CLOCK", "TELEPHONE", "CUP", "STAR", "VSEL", "HSEL", "DENPA", "FINE", "RAIN", "CLOUD", "TEAR",
    "SMILE", "KISS", "MELODY", "CAR", "TRAIN", "PLANE", "BIKE", "HOME", "BUIL", "PEACE", "DINNER", "GLASS",
    "CRY", "TULIP", "BASEBALL", "BALL", "PUNCH", "THUNDER", "ANGRY", "BEER", "NOTE", "PEN", "DOKURO", "MAIL",
    "NOSMOKING", "BELL", "FLOWER", "SPA", "MOON", "FLAG", "MASK", "RECORD", "MEAT", "DOG", "CAT", "MONKEY",
    "ELEPHANT", "TAKO", "NOODLE", "MIC", "PIKI", "PIYOPIYO", "SLEEP", "COFFEE", "TABACCO", "AUAU", "ONIGIRI",
    "BAG", "UNCHI", "TIE", "SHIRT", "SUIKA", "ICE", "BIKINI", "HASAMI", "CHUSHA", "MARINE", "FROG", "BYEBYE",
    "BHEART", "DIA", "CLUBS", "SPADE", "CLIP", "SNOWMAN", "CAKE", "APPLE", "PRESENT", "MONEY", "EXIT", "DOOR",
    "OYAJI", "PHS", "HOSHI", "TICKET", "LOVELOVE", "HIRAMEKI", "PETA", "NIKONIKO", "TENNIS", "MOVIE", "SKI", "!!"};

// The folder tree: mails dragged from the list drop on a node.
class FolderTree : public QTreeWidget {
 public:
  using Accept = std::function<bool(QTreeWidgetItem*, const QMimeData*)>;
  using Drop = std::function<void(QTreeWidgetItem*)>;
  FolderTree(QWidget* parent, Accept accept, Drop drop)
      : QTreeWidget(parent), accept_(std::move(accept)), drop_(std::move(drop)) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
  }

 protected:
  void dragEnterEvent(QDragEnterEvent* e) override {
    if (DragSourceModel(e->mimeData()))
      e->acceptProposedAction();
    else
      e->ignore();
  }
  void dragMoveEvent(QDragMoveEvent* e) override {
    if (accept_(itemAt(e->position().toPoint()), e->mimeData())) {
      e->setDropAction(Qt::MoveAction);
      e->accept();
    } else {
      e->ignore();
    }
  }
  void dropEvent(QDropEvent* e) override {
    QTreeWidgetItem* node = itemAt(e->position().toPoint());
    if (!accept_(node, e->mimeData())) {
      e->ignore();
      return;
    }
    // The list's own selection moves; nothing of the tree does.
    e->setDropAction(Qt::IgnoreAction);
    e->accept();
    drop_(node);
  }

 private:
  Accept accept_;
  Drop drop_;
};

}  // namespace

void TfrmMailList::SetMailOpener(MailOpener opener) {
  Opener() = std::move(opener);
  if (frmMailList) frmMailList->UpdateActions();
}

TfrmMailList::TfrmMailList(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmMailList");
  setWindowTitle(ToQString(Sjis("VeoQuorvel - メール")));
  resize(780, 500);
  ImageList1 = new TImageList(16, 16, this);
  imlMailIcon = new TImageList(16, 16, this);
  imlPicText = new TImageList(12, 12, this);
  CreateActions();
  CreateComponents();
  CreateMenus();
  FormCreate();
}

TfrmMailList::~TfrmMailList() {
  if (frmMailList == this) frmMailList = nullptr;
  if (IniReadBool(keys::AutoDustClear.section, keys::AutoDustClear.name, false)) DeleteTrashFiles();
}

void TfrmMailList::CreateActions() {
  struct Spec {
    QAction** action;
    const char* name;
    const char* caption;
  };
  const Spec specs[] = {
      {&actEMail, "actEMail", "Eメール"},
      {&actDMail, "actDMail", "直送メール"},
      {&actSendRcv, "actSendRcv", "送受信"},
      {&actRcvAll, "actRcvAll", "一括受信"},
      {&actRcvSelect, "actRcvSelect", "選択受信"},
      {&actDirectMailReSend, "actDirectMailReSend", "未送直送メール送信"},
      {&actMailOpen, "actMailOpen", "開封"},
      {&actRes, "actRes", "返信"},
      {&actResAll, "actResAll", "全員に返信"},
      {&actTransfer, "actTransfer", "転送"},
      {&actMailDelete, "actMailDelete", "削除"},
      {&actMailGuard, "actMailGuard", "メール保護"},
      {&actMailNonGuard, "actMailNonGuard", "メール保護解除"},
      {&actMailSelectAll, "actMailSelectAll", "全て選択"},
      {&actDustBoxClear, "actDustBoxClear", "ゴミ箱を空にする"},
      {&actNewFolder, "actNewFolder", "新規"},
      {&actDelFolder, "actDelFolder", "削除"},
      {&actInportFromPHS, "actInportFromPHS", "受信"},
      {&actExportToPHS, "actExportToPHS", "送信"},
      {&actClose, "actClose", "閉じる"},
  };
  for (const Spec& s : specs) {
    *s.action = new QAction(QString::fromUtf8(s.caption), this);
    (*s.action)->setObjectName(QString::fromLatin1(s.name));
  }
  connect(actSendRcv, &QAction::triggered, this, [this] { RequestSession(QV_MAIL_SEND_AND_RECEIVE); });
  connect(actRcvAll, &QAction::triggered, this, [this] { RequestSession(QV_MAIL_RECEIVE_ALL); });
  connect(actRcvSelect, &QAction::triggered, this, [this] { RequestSession(QV_MAIL_SELECTIVE_RECEIVE); });
  connect(actDirectMailReSend, &QAction::triggered, this, [this] { RequestSession(QV_MAIL_DIRECT_ONLY); });
  connect(actMailOpen, &QAction::triggered, this, [this] { OpenMails(kOpen); });
  connect(actRes, &QAction::triggered, this, [this] { OpenMails(kReply); });
  connect(actResAll, &QAction::triggered, this, [this] { OpenMails(kReplyAll); });
  connect(actTransfer, &QAction::triggered, this, [this] { OpenMails(kForward); });
  connect(actMailDelete, &QAction::triggered, this, [this] { DeleteSelected(); });
  connect(actMailGuard, &QAction::triggered, this, [this] { SetGuard(true); });
  connect(actMailNonGuard, &QAction::triggered, this, [this] { SetGuard(false); });
  connect(actMailSelectAll, &QAction::triggered, this, [this] {
    if (focusWidget() == lsvMail) lsvMail->selectAll();
  });
  connect(actDustBoxClear, &QAction::triggered, this, [this] { ClearTrash(); });
  connect(actNewFolder, &QAction::triggered, this, [this] { NewFolder(); });
  connect(actDelFolder, &QAction::triggered, this, [this] { DeleteFolder(); });
  connect(actClose, &QAction::triggered, this, [this] { close(); });
  connect(actInportFromPHS, &QAction::triggered, this, [this] { ImportHistory(); });
  connect(actExportToPHS, &QAction::triggered, this, [this] { ExportHistory(); });
  connect(actEMail, &QAction::triggered, this, [] { NewComposeWindow(true)->show(); });
  connect(actDMail, &QAction::triggered, this, [] { NewComposeWindow(false)->show(); });
}

void TfrmMailList::CreateComponents() {
  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName("splFolder");
  setCentralWidget(splitter);

  trvFolder = new FolderTree(
      splitter, [this](QTreeWidgetItem* node, const QMimeData* data) { return FolderDragAccepted(node, data); },
      [this](QTreeWidgetItem* node) { FolderDropped(node); });
  trvFolder->setObjectName("trvFolder");
  trvFolder->setHeaderHidden(true);
  trvFolder->setRootIsDecorated(false);
  trvFolder->setColumnCount(1);
  trvFolder->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  trvFolder->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(trvFolder, &QTreeWidget::currentItemChanged, this, [this] { FolderChanged(); });
  connect(trvFolder, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node) { FolderItemChanged(node); });
  connect(trvFolder, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    if (QTreeWidgetItem* node = trvFolder->itemAt(pos)) trvFolder->setCurrentItem(node);
    UpdateActions();
    popFolder->popup(trvFolder->viewport()->mapToGlobal(pos));
  });
  trvFolder->installEventFilter(this);

  auto* right = new QWidget(splitter);
  auto* layout = new QVBoxLayout(right);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* caption = new QWidget(right);
  auto* captionLayout = new QHBoxLayout(caption);
  captionLayout->setContentsMargins(6, 3, 6, 3);
  pnlListName = new QLabel(caption);
  pnlListName->setObjectName("pnlListName");
  QFont bold = pnlListName->font();
  bold.setBold(true);
  pnlListName->setFont(bold);
  pnlMailCount = new QLabel(caption);
  pnlMailCount->setObjectName("pnlMailCount");
  pnlMailCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  captionLayout->addWidget(pnlListName, 1);
  captionLayout->addWidget(pnlMailCount);
  caption->setAutoFillBackground(true);
  caption->setBackgroundRole(QPalette::Mid);
  layout->addWidget(caption);

  model_ = new MailListModel(this);
  model_->SetImages(imlMailIcon);
  lsvMail = new QTreeView(right);
  lsvMail->setObjectName("lsvMail");
  sort_ = new ListViewSortModel(lsvMail, this);
  sort_->setSourceModel(model_);
  lsvMail->setModel(sort_);
  lsvMail->setRootIsDecorated(false);
  lsvMail->setItemsExpandable(false);
  lsvMail->setUniformRowHeights(true);
  lsvMail->setAllColumnsShowFocus(true);
  lsvMail->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lsvMail->setSelectionBehavior(QAbstractItemView::SelectRows);
  lsvMail->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lsvMail->setDragEnabled(true);
  lsvMail->setDragDropMode(QAbstractItemView::DragOnly);
  lsvMail->setDefaultDropAction(Qt::MoveAction);
  lsvMail->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView* header = lsvMail->header();
  header->setSectionsClickable(true);
  header->setMinimumSectionSize(8);  // the narrowest width a stored layout gives
  header->setStretchLastSection(true);  // 日付 takes the rest of the width
  const int widths[kMailListColumns] = {20, 20, 20, 20, 100, 100, 150, 60, 120};
  // The narrow mark columns are at least as wide as their captions (種別,
  // 未読, 添付, 保護), which 20 pixels cut to one character.
  for (int i = 0; i < kMailListColumns; ++i)
    header->resizeSection(i, i < 4 ? std::max(widths[i], header->sectionSizeHint(i)) : widths[i]);
  connect(header, &QHeaderView::sectionClicked, this, [this](int column) { ListViewColumnClick(lsvMail, column); });
  connect(lsvMail, &QAbstractItemView::activated, this, [this] {
    if (actMailOpen->isEnabled()) OpenMails(kOpen);
  });
  connect(lsvMail->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
  connect(lsvMail, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    UpdateActions();
    popMail->popup(lsvMail->viewport()->mapToGlobal(pos));
  });
  // Enter (activated) and Ctrl+A are the view's own keys; Delete is ours.
  lsvMail->installEventFilter(this);
  layout->addWidget(lsvMail, 1);
  splitter->addWidget(trvFolder);
  splitter->addWidget(right);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({150, 630});

  tmrSendMsg = new QTimer(this);
  tmrSendMsg->setObjectName("tmrSendMsg");
  tmrSendMsg->setInterval(1);
  connect(tmrSendMsg, &QTimer::timeout, this, [this] { SendTimer(); });
  appLinks_.Connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
}

void TfrmMailList::CreateMenus() {
  auto S = [](const char* utf8) { return QString::fromUtf8(utf8); };
  // The menus carry their own captions; the actions stay shared with the
  // tool bar and the pop-up menus.
  auto item = [this](QMenu* menu, QAction* action, const char* caption) {
    QAction* a = menu->addAction(QString::fromUtf8(caption));
    a->setEnabled(action->isEnabled());
    connect(a, &QAction::triggered, action, &QAction::trigger);
    connect(action, &QAction::changed, a, [a, action] { a->setEnabled(action->isEnabled()); });
  };
  QMenu* file = menuBar()->addMenu(S("ファイル(&F)"));
  item(file, actEMail, "Eメール作成(&E)");
  item(file, actDMail, "直送メール作成(&D)");
  file->addSeparator();
  item(file, actInportFromPHS, "PHSより履歴受信(&I)");
  item(file, actExportToPHS, "PHSへ履歴送信(&P)");
  file->addSeparator();
  file->addAction(actClose);
  QMenu* edit = menuBar()->addMenu(S("編集(&E)"));
  edit->addAction(actMailSelectAll);
  item(edit, actMailDelete, "メールの削除(&D)");
  QMenu* mail = menuBar()->addMenu(S("メール(&M)"));
  mail->addActions({actMailOpen});
  mail->addSeparator();
  mail->addActions({actSendRcv, actRcvAll, actRcvSelect, actDirectMailReSend});
  mail->addSeparator();
  mail->addActions({actRes, actResAll, actTransfer});
  mail->addSeparator();
  mail->addActions({actMailGuard, actMailNonGuard});
  mail->addSeparator();
  mail->addAction(actDustBoxClear);
  QMenu* folder = menuBar()->addMenu(S("フォルダ(&F)"));
  item(folder, actNewFolder, "フォルダの新規作成(&N)");
  item(folder, actDelFolder, "フォルダの削除(&D)");
  for (QMenu* m : {file, edit, mail, folder}) connect(m, &QMenu::aboutToShow, this, [this] { UpdateActions(); });

  popFolder = new QMenu(this);
  popFolder->setObjectName("popFolder");
  popFolder->addActions({actNewFolder, actDustBoxClear, actDelFolder});
  popMail = new QMenu(this);
  popMail->setObjectName("popMail");
  popMail->addActions({actMailSelectAll, actMailOpen, actMailDelete, actMailGuard, actMailNonGuard});

  QToolBar* bar = addToolBar(S("ツールバー"));
  bar->setObjectName("tbrMain");
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->addActions({actEMail, actDMail});
  bar->addSeparator();
  bar->addActions({actSendRcv, actRcvAll, actRcvSelect});
  bar->addSeparator();
  bar->addActions({actMailOpen, actRes, actResAll, actTransfer});
  bar->addSeparator();
  bar->addActions({actMailDelete, actDustBoxClear});
  bar->addSeparator();
  bar->addAction(actClose);
}

void TfrmMailList::FormCreate() {
  struct Fixed {
    FixedFolder folder;
    int image;
  };
  LoadMailIcons(*ImageList1, *imlMailIcon, *imlPicText);
  ApplyActionIcons(*this);
  const Fixed fixed[] = {{FixedFolder::Received, 3}, {FixedFolder::Sent, 1},   {FixedFolder::Transfer, 0},
                         {FixedFolder::Queued, 29},  {FixedFolder::Drafts, 12}, {FixedFolder::Trash, 4}};
  for (const Fixed& f : fixed) AddFolderNode(FixedFolderName(f.folder), f.image);
  // User folders: every other index file of the mail folder, by name (the
  // listing order of the file system is no order a user could follow).
  std::vector<std::string> names;
  std::error_code ec;
  RenameLegacyMailNames(GetMailFolder());
  for (const auto& entry : std::filesystem::directory_iterator(GetMailFolder(), ec)) {
    const std::string file = StoredName(entry.path().filename().string());
    if (file.size() <= 4 || file.compare(file.size() - 4, 4, ".qvm") != 0) continue;
    std::string name = file.substr(0, file.size() - 4);
    bool isFixed = false;
    for (const Fixed& f : fixed) isFixed = isFixed || name == FixedFolderName(f.folder);
    if (!isFixed) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) AddFolderNode(name, kUserFolderImage);
  LoadPicText();
  UpdateActions();
}

void TfrmMailList::LoadPicText() {
  lstPictext.assign(std::begin(kBuiltInPicText), std::end(kBuiltInPicText));
  const std::filesystem::path path = GetDataFilePath(keys::PicTextFile.name, keys::PicTextFile.def);
  if (Exists(path)) lstPictext = ReadLines(path);
}

QTreeWidgetItem* TfrmMailList::AddFolderNode(const std::string& name, int image) {
  auto* node = new QTreeWidgetItem(trvFolder);
  const QSignalBlocker block(trvFolder);
  node->setText(0, FolderCaption(name));
  node->setData(0, kImageRole, image);
  node->setData(0, kNameRole, QByteArray::fromStdString(name));
  node->setIcon(0, ImageListIcon(*ImageList1, image));
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled | Qt::ItemNeverHasChildren;
  if (image == kUserFolderImage) flags |= Qt::ItemIsEditable;
  node->setFlags(flags);
  return node;
}

QTreeWidgetItem* TfrmMailList::FindNode(std::string_view name) const {
  for (int i = 0; i < trvFolder->topLevelItemCount(); ++i)
    if (NodeName(trvFolder->topLevelItem(i)) == name) return trvFolder->topLevelItem(i);
  return nullptr;
}

std::string TfrmMailList::NodeName(const QTreeWidgetItem* node) {
  return node ? node->data(0, kNameRole).toByteArray().toStdString() : std::string();
}

void TfrmMailList::SetListName(const std::string& name) {
  listName_ = name;
  pnlListName->setText(FolderCaption(name));
}

std::string TfrmMailList::ShownFolder() const { return TrimText(listName_); }

bool TfrmMailList::SelectFolder(std::string_view name) {
  QTreeWidgetItem* node = FindNode(name);
  if (!node) return false;
  if (trvFolder->currentItem() == node)
    FolderChanged();
  else
    trvFolder->setCurrentItem(node);
  return true;
}

void TfrmMailList::FolderChanged() {
  if (ownTreeChange_) return;
  QTreeWidgetItem* node = trvFolder->currentItem();
  if (node) {
    SetListName(NodeName(node));
    LoadList();
  }
  UpdateActions();
}

void TfrmMailList::ShowFolder(std::string_view folder) {
  if (folder == listName_) LoadList();
}

void TfrmMailList::SetCount(int count) {
  pnlMailCount->setText(ToQString(std::to_string(count) + Sjis(" 件 ")));
}

void TfrmMailList::LoadList() {
  BusyCursor busy;
  lsvMail->setUpdatesEnabled(false);
  model_->Clear();
  const std::string folder = ShownFolder();
  if (!folder.empty() && !Exists(FolderFile(folder, ".qvm"))) {
    SetCount(0);
  } else if (!folder.empty() && FolderFilesUnusable(folder)) {
    SetCount(0);
    TellDamaged(folder, -1);
  } else if (MailFolder f; !folder.empty() && f.OpenToRead(folder)) {
    std::vector<MailListItem> items;
    items.reserve(static_cast<size_t>(f.Index().RowCount()));
    int damaged = 0;
    for (int r = 0; r < f.Index().RowCount(); ++r) {
      if (IsLiveRow(f.Index(), r)) {
        items.push_back(MakeMailListItem(f.Index(), r));
        items.back().damaged = IsDamagedRow(f, r);
        damaged += items.back().damaged;
      } else {
        // Rows marked neither live nor deleted are no mails: what is left
        // of a damaged index.
        const std::string mark = TrimText(IndexCell(f.Index(), r, kColDeleted));
        damaged += mark != "1" && !mark.empty();
      }
    }
    // The list keeps the loaded index: its cells are the items' texts.
    TCSVData index = std::move(f.Index());
    f.Close();
    // The proxy sorts the new rows by the list's sort column as they arrive.
    model_->SetItems(std::move(index), std::move(items));
    SetCount(model_->Count());
    if (damaged > 0) TellDamaged(folder, damaged);
  }
  lsvMail->setUpdatesEnabled(true);
  UpdateActions();
}

void TfrmMailList::TellDamaged(const std::string& folder, int damaged) {
  // Once per folder and kind of damage, not at every reload.
  auto told = toldDamage_.find(folder);
  if (told != toldDamage_.end() && told->second == damaged) return;
  toldDamage_[folder] = damaged;
  std::string text = Sjis("フォルダ「") + FolderText(folder) + Sjis("」は壊れています。") + "\r\n";
  if (damaged < 0)
    text += Sjis("フォルダのファイルを開けません。");
  else
    text += Sjis("読み出せないメールが") + std::to_string(damaged) + Sjis("件あります。読み出せるメールはそのまま残っています。");
  // After the list has been drawn, outside whatever asked for the reload.
  QMetaObject::invokeMethod(this, [this, text] { ShowWarning(this, text); }, Qt::QueuedConnection);
}

std::vector<int> TfrmMailList::SelectedRows() const {
  QModelIndexList selected = lsvMail->selectionModel()->selectedRows();
  std::sort(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(selected.size()));
  for (const QModelIndex& i : selected) rows.push_back(sort_->mapToSource(i).row());
  return rows;
}

void TfrmMailList::UpdateActions() {
  const bool selected = lsvMail->selectionModel()->hasSelection();
  const bool canOpen = selected && static_cast<bool>(Opener());
  for (QAction* a : {actMailOpen, actRes, actResAll, actTransfer}) a->setEnabled(canOpen);
  for (QAction* a : {actMailDelete, actMailGuard, actMailNonGuard}) a->setEnabled(selected);
  QTreeWidgetItem* node = trvFolder->currentItem();
  actDelFolder->setEnabled(node && node->data(0, kImageRole).toInt() == kUserFolderImage);
  actMailSelectAll->setEnabled(focusWidget() == lsvMail && model_->Count() > 0);
}

void TfrmMailList::OpenMails(int mode) {
  if (!Opener()) return;
  BusyCursor busy;
  const std::string folder = ShownFolder();
  if (folder.empty() || !BothFolderFilesExist(folder)) return;
  std::vector<MailOpenRequest> requests;
  {
    // Reading needs no right to write: a folder that cannot take the read
    // marks still opens its mails, which stay marked unread.
    MailFolder f;
    if (!f.OpenToRead(folder)) return;
    TCSVData& index = f.Index();
    std::vector<int> read;
    int unreadable = 0;
    for (int row : SelectedRows()) {
      const std::string id = model_->Id(row);
      if (TMailWindow* open = FindOpenWindow(folder, id)) {
        open->Window()->show();
        open->Window()->raise();
        open->Window()->activateWindow();
        continue;
      }
      const int r = FindRowById(index, id);
      if (r < 0) continue;
      MailOpenRequest request;
      request.mode = mode;
      request.folder = folder;
      request.id = id;
      request.row = index.Rows(r);
      if (!ReadMessageByIndex(f, r, request.text)) {
        ++unreadable;  // never an empty window for a mail whose bytes are lost
        continue;
      }
      if (f.Writable() && IndexCell(index, r, kColDirection) != "1") {
        SetIndexCell(index, r, kColUnread, "0");
        read.push_back(row);
      }
      requests.push_back(std::move(request));
    }
    if (!read.empty() && f.SaveIndex())
      for (int row : read) {
        model_->MutableItem(row).unread = false;
        model_->ItemChanged(row);
      }
    if (unreadable > 0)
      ShowWarning(this, Sjis("メールが壊れているため開けません。") +
                            (unreadable > 1 ? "(" + std::to_string(unreadable) + Sjis("件)") : std::string()));
  }
  // The windows open once the folder's files are free again: they may read it.
  for (const MailOpenRequest& request : requests) Opener()(*this, request);
  CallHostParam(QV_PARAM_RESET_STATUS, 0);
}

void TfrmMailList::DeleteSelected() {
  if (ShownFolder() != Trash()) {
    MoveSelected(Trash(), false);
    return;
  }
  if (AskWarningYesNo(this, Sjis("ゴミ箱フォルダ内のデータを削除すると完全に消去されます。\r\n"
                              "選択中の項目を削除してよろしいでしょうか？")))
    PurgeSelected();
}

void TfrmMailList::PurgeSelected() {
  BusyCursor busy;
  const std::string folder = ShownFolder();
  if (folder.empty() || !BothFolderFilesExist(folder)) return;
  {
    MailFolder f;
    if (!f.Open(folder)) return TellStoreFailure(this, Sjis("メールを削除できませんでした。"), true);
    bool marked = false;
    for (int row : SelectedRows()) marked = MarkMessage(f.Index(), model_->Id(row)) || marked;
    // Compaction saves the index; a store it refuses keeps its bytes and
    // still loses the rows.
    if (marked && !CompactStore(f) && !f.SaveIndex()) TellStoreFailure(this, Sjis("メールを削除できませんでした。"));
  }
  LoadList();
}

bool TfrmMailList::MoveSelected(std::string_view target, bool keep) {
  BusyCursor busy;
  const std::string folder = ShownFolder();
  if (folder.empty() || target == folder || !BothFolderFilesExist(folder)) return false;
  bool moved = false;
  const std::string failure = Sjis(target == Trash() && !keep ? "メールを削除できませんでした。" : "メールを移動できませんでした。");
  {
    MailFolder source, dest;
    if (!source.Open(folder) || !dest.Open(target)) {
      TellStoreFailure(this, failure, true);
      return false;
    }
    std::vector<std::string> copied, dropped;
    bool refused = false;
    for (int row : SelectedRows()) {
      const std::string id = model_->Id(row);
      const int r = FindLiveRowById(source.Index(), id);
      std::string text, newId;
      if (r < 0) continue;
      // A mail whose bytes are lost has nothing for the trash to keep:
      // deleting it drops its row.
      if (IsDamagedRow(source, r)) {
        if (!keep && target == Trash()) dropped.push_back(id);
        continue;
      }
      if (!ReadMessageByIndex(source, r, text)) continue;
      if (AppendMessage(dest, text, source.Index().Rows(r), newId))
        copied.push_back(id);
      else if (LastMailStoreError().fault != MailStoreFault::None)
        refused = true;  // not merely a mail without bytes
    }
    // The copies reach the target's index on disk before any source row is
    // marked, so a failure in between can only leave a mail in both folders.
    if ((copied.empty() && dropped.empty()) || (!copied.empty() && !dest.SaveIndex())) {
      if (refused || !copied.empty()) TellStoreFailure(this, failure);
      return false;
    }
    moved = true;
    if (!keep) {
      for (const std::string& id : copied) MarkMessage(source.Index(), id);
      for (const std::string& id : dropped) MarkMessage(source.Index(), id);
      if (!CompactStore(source) && !source.SaveIndex())
        TellStoreFailure(this, Sjis("移したメールを元のフォルダから消せませんでした。"));
    } else if (refused) {
      TellStoreFailure(this, failure);
    }
  }
  LoadList();
  return moved;
}

void TfrmMailList::SetGuard(bool isProtected) {
  BusyCursor busy;
  const std::string folder = ShownFolder();
  if (folder.empty() || !BothFolderFilesExist(folder)) return;
  const std::string failure = Sjis(isProtected ? "メールを保護できませんでした。" : "メールの保護を解除できませんでした。");
  MailFolder f;
  if (!f.Open(folder)) return TellStoreFailure(this, failure, true);
  std::vector<int> marked;
  for (int row : SelectedRows()) {
    const int r = FindRowById(f.Index(), model_->Id(row));
    if (r < 0) continue;
    SetIndexCell(f.Index(), r, kColProtected, isProtected ? "1" : "0");
    marked.push_back(row);
  }
  // The list shows the marks the folder keeps.
  if (!f.SaveIndex()) return TellStoreFailure(this, failure);
  for (int row : marked) {
    model_->MutableItem(row).isProtected = isProtected;
    model_->ItemChanged(row);
  }
}

void TfrmMailList::ClearTrash() {
  int total = 0, unread = 0;
  if (!CountMessages(Trash(), total, unread) || total == 0) return;
  std::string text = Sjis("ゴミ箱の中に") + std::to_string(total);
  if (unread == 0)
    text += Sjis("件のメールがあります。");
  else
    text += Sjis("件のメールがあり、そのうち『") + std::to_string(unread) + Sjis("件が未読』です。");
  text += "\r\n" + Sjis("全て削除してよろしいでしょうか？");
  if (!AskWarningYesNo(this, text)) return;
  if (!DeleteTrashFiles()) TellStoreFailure(this, Sjis("ゴミ箱を空にできませんでした。"), true);
  ShowFolder(Trash());
}

void TfrmMailList::NewFolder() {
  std::string name;
  for (int n = 1;; ++n) {
    name = Sjis("新規フォルダ") + std::to_string(n);
    if (!FindNode(name)) break;
  }
  if (FolderFilesAvailable(name))
    AddFolderNode(name, kUserFolderImage);
  else
    TellStoreFailure(this, Sjis("フォルダを作成できませんでした。"), true);
}

void TfrmMailList::DeleteFolder() {
  QTreeWidgetItem* node = trvFolder->currentItem();
  if (!node || node->data(0, kImageRole).toInt() != kUserFolderImage) return;
  const std::string name = NodeName(node);
  if (!AskWarningYesNo(this, FolderText(name) + Sjis("フォルダを削除してもよろしいですか？"))) return;
  {
    BusyCursor busy;
    // Files whose mails did not all reach the trash stay, with their node.
    if (!MoveAllMessages(name, Trash()) && BothFolderFilesExist(name))
      return TellStoreFailure(this, Sjis("フォルダを削除できませんでした。"), true);
    std::error_code ec;
    if (!std::filesystem::remove(FolderFile(name, ".qvm"), ec)) {
      if (ec) {
        RecordMailStoreFailure(ec.value(), FolderFile(name, ".qvm"));
        TellStoreFailure(this, Sjis("フォルダを削除できませんでした。"));
      }
      return;
    }
    std::filesystem::remove(FolderFile(name, ".qvs"), ec);
  }
  {
    // The first node is shown next, loaded once.
    ownTreeChange_ = true;
    delete node;
    ownTreeChange_ = false;
  }
  if (trvFolder->currentItem() == trvFolder->topLevelItem(0))
    FolderChanged();
  else
    trvFolder->setCurrentItem(trvFolder->topLevelItem(0));
}

void TfrmMailList::FolderItemChanged(QTreeWidgetItem* node) {
  if (ownTreeChange_ || !node || node->data(0, kImageRole).toInt() != kUserFolderImage) return;
  // Only an edit that changed the text is a rename; the name's own bytes stay
  // when the text still shows them.
  if (node->text(0) == FolderCaption(NodeName(node))) return;
  RenameFolder(node, FromQString(node->text(0)));
}

bool TfrmMailList::RenameFolder(QTreeWidgetItem* node, std::string_view newText) {
  if (!node || node->data(0, kImageRole).toInt() != kUserFolderImage) return false;
  const std::string oldName = NodeName(node);
  const std::string name = TrimText(newText);
  auto keep = [&] {
    ownTreeChange_ = true;
    node->setText(0, FolderCaption(oldName));
    ownTreeChange_ = false;
    return false;
  };
  if (!IsValidFolderName(name) || SameTextIgnoringCase(name, oldName)) return keep();
  for (int i = 0; i < trvFolder->topLevelItemCount(); ++i) {
    QTreeWidgetItem* other = trvFolder->topLevelItem(i);
    if (other != node && SameTextIgnoringCase(NodeName(other), name)) return keep();
  }
  const auto oldIndex = FolderFile(oldName, ".qvm"), oldStore = FolderFile(oldName, ".qvs");
  const auto newIndex = FolderFile(name, ".qvm"), newStore = FolderFile(name, ".qvs");
  if (Exists(newIndex) || Exists(newStore)) return keep();
  std::error_code ec;
  auto refused = [&](const std::filesystem::path& file) {
    RecordMailStoreFailure(ec.value(), file);
    TellStoreFailure(this, Sjis("フォルダの名前を変更できませんでした。"));
    return keep();
  };
  const bool hadIndex = Exists(oldIndex);
  if (hadIndex) {
    std::filesystem::rename(oldIndex, newIndex, ec);
    if (ec) return refused(oldIndex);
  }
  if (Exists(oldStore)) {
    std::filesystem::rename(oldStore, newStore, ec);
    if (ec) {
      // Both files keep one name: the index goes back.
      std::error_code back;
      if (hadIndex) std::filesystem::rename(newIndex, oldIndex, back);
      return refused(oldStore);
    }
  }
  ownTreeChange_ = true;
  node->setText(0, FolderCaption(name));
  node->setData(0, kNameRole, QByteArray::fromStdString(name));
  ownTreeChange_ = false;
  SetListName(name);
  LoadList();
  RenameFolderInWindows(oldName, name);
  return true;
}

bool TfrmMailList::FolderDragAccepted(QTreeWidgetItem* node, const QMimeData* data) const {
  if (!node || DragSourceModel(data) != model_) return false;
  const std::string name = NodeName(node);
  return name != ShownFolder() && name != FixedFolderName(FixedFolder::Queued);
}

void TfrmMailList::FolderDropped(QTreeWidgetItem* node) {
  // The move runs once the drag has ended, outside the list's own drag loop.
  QMetaObject::invokeMethod(this, [this, name = NodeName(node)] { MoveSelected(name, false); }, Qt::QueuedConnection);
}

void ShowFolderInList(std::string_view folder) {
  if (frmMailList) frmMailList->ShowFolder(folder);
}

void RequestSendFromList() {
  if (frmMailList) frmMailList->tmrSendMsg->start();
}

std::vector<std::string> ListPicTextLines() { return frmMailList ? frmMailList->PicTextLines() : std::vector<std::string>(); }

void TfrmMailList::RequestSession(int value) { CallHostParam(QV_PARAM_MAIL_SESSION, value); }

void TfrmMailList::SendTimer() {
  tmrSendMsg->stop();
  CallHostParam(QV_PARAM_MAIL_SESSION, QV_MAIL_SEND_QUEUE);
}

void TfrmMailList::TellHistory(const std::string& text) {
  if (HasHostStrCallback())
    CallHostStr(QV_STR_NOTICE, text);
  else
    ShowInformation(this, text);
}

void TfrmMailList::ImportHistory(const RetryPolicy& retry) {
  if (!HasHostParamCallback()) return;
  const bool dx = IniReadBool(keys::KmailDXArchive), kmail = IniReadBool(keys::KmailArchive);
  const std::string dxFile = HandsetExchangeFile::PathFor(kHistoryKindDX);
  const std::string kmailFile = HandsetExchangeFile::PathFor(kHistoryKindKmail);
  std::error_code ec;
  std::filesystem::remove(dxFile, ec);
  std::filesystem::remove(kmailFile, ec);
  const bool dxRead = dx && CallHostParam(QV_PARAM_READ_HANDSET, kHistoryKindDX);
  // With both kept, the second read waits for the first to succeed.
  const bool kmailRead = kmail && (dxRead || !dx) && CallHostParam(QV_PARAM_READ_HANDSET, kHistoryKindKmail);
  std::string report;
  {
    BusyCursor busy;
    if (dxRead) report = ImportReport(true, ImportHistoryFile(dxFile, retry));
    if (kmailRead) {
      if (!report.empty()) report += "\r\n";
      report += ImportReport(false, ImportHistoryFile(kmailFile, retry));
    }
  }
  if (report.empty()) return;
  TellHistory(report);
  ShowFolder(listName_);
}

void TfrmMailList::ExportHistory(const RetryPolicy& retry) {
  if (!HasHostParamCallback()) return;
  const bool dx = IniReadBool(keys::KmailDXArchive), kmail = IniReadBool(keys::KmailArchive);
  HistoryExport d, k;
  {
    BusyCursor busy;
    if (dx) d = ExportHistoryFile(HandsetExchangeFile::PathFor(kHistoryKindDX), true, retry);
    if (kmail) k = ExportHistoryFile(HandsetExchangeFile::PathFor(kHistoryKindKmail), false, retry);
  }
  std::string notes = ExportNotes(true, d);
  if (const std::string more = ExportNotes(false, k); !more.empty()) notes += (notes.empty() ? "" : "\r\n") + more;
  if (d.lines == 0 && k.lines == 0) {
    if (!notes.empty()) TellHistory(notes);
    return;
  }
  if (!AskWarningYesNo(this, Sjis("現在電話機にあるメール履歴情報は全て削除されます\r\n処理を続けますか？"))) return;
  std::string report;
  const bool dxSent = d.lines > 0 && CallHostParam(QV_PARAM_WRITE_HANDSET, kHistoryKindDX);
  if (dxSent) report += Sjis("KメールDX履歴 ");
  const bool kmailSent =
      (dxSent || d.lines == 0) && k.lines > 0 && CallHostParam(QV_PARAM_WRITE_HANDSET, kHistoryKindKmail);
  if (kmailSent) report += Sjis("Kメール履歴 ");
  if (!dxSent && !kmailSent) return;
  report += Sjis("送信完了");
  if (!notes.empty()) report += "\r\n" + notes;
  TellHistory(report);
}

void TfrmMailList::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous()) return;
  LoadFormPosition(this, kPlaceCentre, 0, kIdent);
  LoadListViewColumns(lsvMail, kIdent, 0);
  if (QTreeWidgetItem* first = trvFolder->topLevelItem(0)) {
    if (trvFolder->currentItem() == first)
      FolderChanged();
    else
      trvFolder->setCurrentItem(first);
  }
}

bool TfrmMailList::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete &&
      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
    UpdateActions();
    if (watched == lsvMail) {
      if (actMailDelete->isEnabled()) DeleteSelected();
      return true;
    }
    if (watched == trvFolder) {
      if (actDelFolder->isEnabled()) DeleteFolder();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMailList::closeEvent(QCloseEvent* event) {
  SaveLayout();
  QMainWindow::closeEvent(event);
}

void TfrmMailList::SaveLayout() {
  SaveFormPosition(this, kIdent);
  SaveListViewColumns(lsvMail, kIdent);
}

}  // namespace qv
