#include "plugins/contacts/ContactListWindow.h"

#include "controls/ImageList.h"
#include "core/ui/BusyCursor.h"
#include "core/ui/Dialogs.h"
#include "core/ui/FormPosition.h"
#include "core/data/HostCallbacks.h"
#include "core/ui/MessageBox.h"
#include "core/ui/Pictures.h"
#include "core/ui/QtText.h"
#include "core/data/Settings.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Paths.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

namespace qv {
namespace {

constexpr const char* kCsvFilter = "CSVファイル (*.csv)|*.csv";

}  // namespace

TContactList::TContactList(const ContactListStyle& style, TContactListModel* model, QWidget* parent)
    : QMainWindow(parent), style_(style), model_(model) {
  setObjectName(QString::fromLatin1(style.objectName));
  model_->setParent(this);
  setWindowTitle(ToQString("VeoQuorvel - " + Role()));
  resize(700, 450);
  ImageList1 = new TImageList(kClipIconWidth, kClipIconHeight, this);
  LoadImageListFromDll("CLIPICON", *ImageList1);
  CreateActions();
  CreateComponents();
  CreateMenus();
  setWindowIcon(ImageListIcon(*ImageList1, style_.icon));
  ShowCount();
  UpdateActions();
}

TContactList::~TContactList() = default;

std::string TContactList::Role() const { return Sjis(style_.role); }

void TContactList::CreateActions() {
  const std::string role = style_.role;
  struct Spec {
    QAction** action;
    const char* name;
    const char* caption;
    std::string hint;
    int icon;
  };
  const Spec specs[] = {
      {&actNew, "actNew", "新規", role + "を新規作成", 13},
      {&actOpen, "actOpen", "開く", role + "を開く", 23},
      {&actSave, "actSave", "保存", role + "を保存", 22},
      {&actSaveAs, "actSaveAs", "名前を付けて保存", "", -1},
      {&actImportCSV, "actImportCSV", "CSVインポート", "", -1},
      {&actExportCSV, "actExportCSV", "CSVエクスポート", "", -1},
      {&actExportData, "actExportData", "送信", role + "データ送信", 1},
      {&actImportData, "actImportData", "受信", role + "データ受信", 2},
      {&actClose, "actClose", "閉じる", "", 34},
      {&actAdd, "actAdd", "追加", role + "に追加", 39},
      {&actEdit, "actEdit", "編集", role + "を編集", 12},
      {&actDel, "actDel", "削除", role + "から削除", 4},
  };
  for (const Spec& s : specs) {
    *s.action = new QAction(QString::fromUtf8(s.caption), this);
    (*s.action)->setObjectName(QString::fromLatin1(s.name));
    if (!s.hint.empty()) {
      (*s.action)->setToolTip(QString::fromStdString(s.hint));
      (*s.action)->setStatusTip(QString::fromStdString(s.hint));
    }
    if (s.icon >= 0) (*s.action)->setIcon(ImageListIcon(*ImageList1, s.icon));
  }
  connect(actNew, &QAction::triggered, this, [this] { New(); });
  connect(actOpen, &QAction::triggered, this, [this] { OpenFile(); });
  connect(actSave, &QAction::triggered, this, [this] { SaveFile(); });
  connect(actSaveAs, &QAction::triggered, this, [this] { SaveFileAs(); });
  connect(actImportCSV, &QAction::triggered, this, [this] { ImportCsv(); });
  connect(actExportCSV, &QAction::triggered, this, [this] { ExportCsv(); });
  connect(actExportData, &QAction::triggered, this, [this] { ExportData(); });
  connect(actImportData, &QAction::triggered, this, [this] { ImportData(); });
  connect(actClose, &QAction::triggered, this, [this] { close(); });
  connect(actAdd, &QAction::triggered, this, [this] {
    SelectOnly(-1);
    AddEntry();
    ShowCount();
  });
  connect(actEdit, &QAction::triggered, this, [this] {
    if (SelectedRow() >= 0) EditSelected();
  });
  connect(actDel, &QAction::triggered, this, [this] { DeleteSelected(); });
}

void TContactList::CreateComponents() {
  list_ = new QTreeView(this);
  list_->setObjectName(QString::fromLatin1(style_.listName));
  sort_ = new ListViewSortModel(list_, this);
  sort_->setSourceModel(model_);
  list_->setModel(sort_);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView* header = list_->header();
  header->setSectionsClickable(true);
  header->setMinimumSectionSize(8);  // the narrowest width a stored layout gives
  header->setStretchLastSection(true);
  header->setDefaultSectionSize(110);
  connect(header, &QHeaderView::sectionClicked, this, [this](int column) { ListViewColumnClick(list_, column); });
  // Enter and a double click edit, as 編集 does: only with exactly one entry selected.
  connect(list_, &QAbstractItemView::activated, this, [this] { actEdit->trigger(); });
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateActions(); });
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    UpdateActions();
    popList->popup(list_->viewport()->mapToGlobal(pos));
  });
  list_->installEventFilter(this);
  setCentralWidget(list_);
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { UpdateActions(); });
  connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateActions(); });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });

  pnlCount = new QLabel(this);
  pnlCount->setObjectName("pnlCount");
  pnlCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  statusBar()->addPermanentWidget(pnlCount, 1);
  statusBar()->setSizeGripEnabled(true);
}

void TContactList::CreateMenus() {
  QMenu* file = menuBar()->addMenu(QString::fromUtf8("ファイル(&F)"));
  file->addActions({actNew, actOpen, actSave, actSaveAs});
  file->addSeparator();
  file->addActions({actImportCSV, actExportCSV});
  file->addSeparator();
  file->addActions({actExportData, actImportData});
  file->addSeparator();
  file->addAction(actClose);
  QMenu* edit = menuBar()->addMenu(QString::fromUtf8("編集(&E)"));
  edit->addActions({actAdd, actEdit, actDel});
  for (QMenu* m : {file, edit}) connect(m, &QMenu::aboutToShow, this, [this] { UpdateActions(); });
  popList = new QMenu(this);
  popList->setObjectName("popList");
  popList->addActions({actEdit, actDel});

  QToolBar* bar = addToolBar(QString::fromUtf8("ツールバー"));
  bar->setObjectName("tbrMain");
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  bar->addActions({actNew, actOpen, actSave, actAdd, actEdit, actDel, actExportData, actImportData});
}

void TContactList::UpdateActions() {
  const auto selected = list_->selectionModel()->selectedRows().size();
  actEdit->setEnabled(selected == 1);
  actDel->setEnabled(selected >= 1);
  actSave->setEnabled(!style_.saveOnlyWhenModified || modified_);
}

void TContactList::SetModified(bool modified) {
  modified_ = modified;
  UpdateActions();
}

void TContactList::ShowCount() {
  pnlCount->setText(ToQString(std::to_string(model_->Count()) + Sjis(" 件 ")));
}

std::vector<int> TContactList::SelectedRows() const {
  QModelIndexList rows = list_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<int> out;
  for (const QModelIndex& i : rows) out.push_back(sort_->mapToSource(i).row());
  return out;
}

int TContactList::SelectedRow() const {
  const auto rows = SelectedRows();
  return rows.size() == 1 ? rows.front() : -1;
}

std::vector<int> TContactList::RowsInListOrder() const {
  std::vector<int> rows;
  rows.reserve(static_cast<size_t>(sort_->rowCount()));
  for (int r = 0; r < sort_->rowCount(); ++r) rows.push_back(sort_->mapToSource(sort_->index(r, 0)).row());
  return rows;
}

int TContactList::NeighbourRow(int row, int step) const {
  const QModelIndex at = sort_->mapFromSource(model_->index(row, 0));
  if (!at.isValid()) return -1;
  const int r = at.row() + step;
  if (r < 0 || r >= sort_->rowCount()) return -1;
  return sort_->mapToSource(sort_->index(r, 0)).row();
}

void TContactList::SelectOnly(int row) {
  list_->selectionModel()->clearSelection();
  if (row < 0 || row >= model_->Count()) return;
  const QModelIndex at = sort_->mapFromSource(model_->index(row, 0));
  list_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(at);
}

void TContactList::Resort() { sort_->Resort(); }

void TContactList::Tell(const std::string& text) {
  if (HasHostStrCallback())
    CallHostStr(QV_STR_NOTICE, text);
  else
    ShowMessageBox(this, BoxKind::Information, text);
}

void TContactList::Fail(const std::string& text) { ShowMessageBox(this, BoxKind::Warning, text); }

std::filesystem::path TContactList::CurrentFolder() const {
  return fileName_.empty() ? std::filesystem::path() : std::filesystem::path(fileName_).parent_path();
}

bool TContactList::ConfirmDiscard() {
  if (!modified_) return true;
  const std::string name =
      fileName_.empty() ? Sjis("無題") : ShownPath(std::filesystem::path(fileName_).filename());
  switch (AskWarning(this, Sjis("ﾌｧｲﾙ ") + name + Sjis(" の内容は変更されています。\r\n変更保存しますか?"), true)) {
    case Answer::Yes:
      return SaveFile();
    case Answer::No:
      return true;
    default:
      return false;
  }
}

void TContactList::New() {
  if (!ConfirmDiscard()) return;
  model_->ClearRows();
  SetFileName({});
  ShowCount();
}

void TContactList::OpenFile(const std::string& name) {
  if (!ConfirmDiscard()) return;
  std::filesystem::path path = name;
  if (path.empty()) {
    if (auto chosen = AskOpenFile(this, Sjis(style_.fileFilter), CurrentFolder(), style_.extension)) path = *chosen;
  }
  if (!path.empty()) {
    BusyCursor busy;
    std::string why;
    if (LoadFromFile(path, why)) {
      SetFileName(path.string());
    } else {
      Fail(why + "\r\n" + ShownPath(path));
    }
    ShowCount();
  }
  Resort();
}

bool TContactList::SaveFile(const std::string& name) {
  const std::string target = name.empty() ? fileName_ : name;
  if (!target.empty()) {
    bool saved = false;
    {
      BusyCursor busy;
      saved = SaveToFile(target);
    }
    if (saved) {
      SetFileName(target);
      return true;
    }
    Fail(Role() + Sjis("ファイルを保存できませんでした。\r\n") + ShownPath(target));
  }
  return SaveFileAs();
}

bool TContactList::SaveFileAs() {
  const std::filesystem::path proposed =
      CurrentFolder() / (fileName_.empty() ? std::filesystem::path(std::string("*") + style_.extension)
                                           : std::filesystem::path(fileName_).filename());
  auto chosen = AskSaveFile(this, proposed, Sjis(style_.fileFilter), style_.extension);
  if (!chosen) return false;
  return SaveFile(chosen->string());
}

void TContactList::SetFileName(const std::string& name) {
  std::string caption = "VeoQuorvel - " + Role();
  if (!name.empty()) caption += " - " + ShownPath(std::filesystem::path(name).filename());
  setWindowTitle(ToQString(caption));
  // The setting may name the file relative to the launcher's folder; it holds
  // CP932 text, the name is the file system's.
  if (!name.empty() && !SameTextNoCase(StoredPath(name), IniRead(style_.fileKey)) &&
      name != GetDataFilePath(style_.fileKey.name, ""))
    IniWrite(style_.fileKey, StoredPath(name));
  fileName_ = name;
  SetModified(false);
}

void TContactList::ImportCsv() {
  auto chosen = AskOpenFile(this, Sjis(kCsvFilter), CurrentFolder(), ".csv", "*.csv");
  if (!chosen) return;
  std::string text, why;
  if (!ReadWholeFile(*chosen, text)) {
    Fail(Sjis("CSVファイルを読み込めませんでした。\r\n") + ShownPath(*chosen));
    return;
  }
  {
    BusyCursor busy;
    if (!CsvImport(text, why)) {
      Fail(Sjis("CSVファイルを読み込めませんでした。\r\n") + why + "\r\n" + ShownPath(*chosen));
      return;
    }
  }
  Resort();
  SetModified(true);
  ShowCount();
}

void TContactList::ExportCsv() {
  auto chosen = AskSaveFile(this, CurrentFolder() / "*.csv", Sjis(kCsvFilter), ".csv");
  if (!chosen) return;
  const std::filesystem::path path = *chosen;
  if (!WriteFileAtomically(path, CsvExport())) Fail(Sjis("CSVファイルを保存できませんでした。\r\n") + ShownPath(path));
}

void TContactList::ExportData() {
  const std::filesystem::path path = GetTempDataFile(style_.dataKind);
  const int lines = WriteSendFile(path);
  if (lines < 0) {
    Fail(Sjis("送信データを作成できませんでした。\r\n") + ShownPath(path));
    return;
  }
  if (lines == 0 || !ConfirmSendable()) return;
  const std::string question =
      Sjis("現在電話機にある") + Role() + Sjis("情報は全て削除されます\r\n処理を続けますか？");
  if (AskWarning(this, question, false) != Answer::Yes) return;
  if (CallHostParam(QV_PARAM_WRITE_HANDSET, style_.dataKind)) Tell(Sjis(style_.dataRole) + Sjis(" 送信完了"));
}

void TContactList::ImportData() {
  if (!HasHostParamCallback()) return;
  const std::filesystem::path path = GetTempDataFile(style_.dataKind);
  // What an earlier receive left there must never be read as this one's.
  std::error_code ec;
  std::filesystem::remove(path, ec);
  if (std::filesystem::exists(path, ec)) {
    Fail(Sjis("受信データを準備できませんでした。\r\n") + ShownPath(path));
    return;
  }
  if (!CallHostParam(QV_PARAM_READ_HANDSET, style_.dataKind)) return;
  int n = 0;
  {
    BusyCursor busy;
    n = ReadReceivedFile(path);
  }
  ShowCount();
  Tell(Sjis(style_.dataRole) + Sjis("を ") + std::to_string(n) + Sjis(" 件受信しました"));
  if (n > 0) {
    SetModified(true);
    Resort();
  }
}

void TContactList::DeleteSelected() {
  const auto rows = SelectedRows();
  if (rows.empty()) return;
  model_->RemoveRows(rows);
  SetModified(true);
  ShowCount();
}

void TContactList::ShowFromHost() {
  show();
  raise();
  activateWindow();
}

bool TContactList::CloseFromHost() {
  if (!isVisible()) return true;
  if (!ConfirmDiscard()) return false;
  SetModified(false);
  close();
  return true;
}

void TContactList::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous()) return;
  LoadFormPosition(this, kPlaceCentre, style_.percent, style_.ident);
  LoadListViewColumns(list_, style_.ident, style_.defaultSort);
  SetModified(false);
  New();
  const std::string name = TrimText(IniRead(style_.fileKey));
  std::error_code ec;
  if (!name.empty()) {
    const std::filesystem::path path = GetDataFilePath(style_.fileKey.name, "");
    if (std::filesystem::is_regular_file(path, ec)) OpenFile(path.string());
  }
}

void TContactList::closeEvent(QCloseEvent* event) {
  if (!ConfirmDiscard()) {
    event->ignore();
    return;
  }
  SetModified(false);
  SaveFormPosition(this, style_.ident);
  SaveListViewColumns(list_, style_.ident);
  event->accept();
}

bool TContactList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    DeleteSelected();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace qv
