#pragma once
// The mail plug-in's main window: the mail folders as a tree, the mails of the
// shown folder as a report list, and the actions on mails and folders. Every
// folder is a pair of mail store files; the window reads and rewrites their
// index rows afresh for each operation.
#include "controls/AppConnections.h"
#include "core/data/CSVData.h"
#include "core/data/MailStore.h"
#include "plugins/mail/list/MailListModel.h"

#include <QMainWindow>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;
class TImageList;

namespace qv {

class ListViewSortModel;

// A stored mail to open in a window, with what the list read for it.
struct MailOpenRequest {
  int mode = 0;  // 0 open, 1 reply, 2 reply to all, 3 forward
  std::string folder;
  std::string id;
  TCSVRow row;       // the mail's index row as it was before the read mark
  std::string text;  // the stored mail (its lines, each ended by CR LF)
};

class TfrmMailList : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmMailList(QWidget* parent = nullptr);
  ~TfrmMailList() override;

  // Opens mode 0-3 for every selected mail (`OpenMails`).
  enum OpenMode { kOpen = 0, kReply = 1, kReplyAll = 2, kForward = 3 };

  // The folder the list shows (the caption of pnlListName, trimmed).
  std::string ShownFolder() const;
  // Reloads the list when folder is the shown one, exactly.
  void ShowFolder(std::string_view folder);
  void OpenMails(int mode);
  // The selected mails into target; the source keeps them when keep is set.
  // False when nothing could be moved.
  bool MoveSelected(std::string_view target, bool keep);
  void PurgeSelected();
  void DeleteSelected();
  void SetGuard(bool isProtected);
  void ClearTrash();
  void NewFolder();
  void DeleteFolder();
  // Renames the user folder node; false, with the old name kept, when the new
  // name is refused or the files could not be renamed.
  bool RenameFolder(QTreeWidgetItem* node, std::string_view newText);
  // Selects the node of that name and loads its folder.
  bool SelectFolder(std::string_view name);
  // Asks the host for a mail session (1, value).
  void RequestSession(int value);
  // Reads the handset's mail histories into "送信簿" and "受信簿", or writes
  // the mails of "データ転送" to it, through the host; nothing without the
  // host's parameter callback. retry is how long a locked folder is waited for.
  void ImportHistory(const RetryPolicy& retry = {});
  void ExportHistory(const RetryPolicy& retry = {});
  void UpdateActions();

  // What opens stored mails in compose windows and viewers. Until one is set
  // the open, reply and forward actions stay disabled.
  using MailOpener = std::function<void(TfrmMailList& list, const MailOpenRequest& request)>;
  static void SetMailOpener(MailOpener opener);

  // The pictograph table: the lines of [File] PicTextFile, or the built-in names.
  const std::vector<std::string>& PicTextLines() const { return lstPictext; }
  MailListModel& Model() { return *model_; }
  // The source rows of the selected items, in list order.
  std::vector<int> SelectedRows() const;

  // Image index of a user folder node; only such nodes may be renamed or deleted.
  static constexpr int kUserFolderImage = 35;

  QTreeWidget* trvFolder;
  QLabel* pnlListName;
  QLabel* pnlMailCount;
  QTreeView* lsvMail;
  std::vector<std::string> lstPictext;
  TImageList* ImageList1;
  TImageList* imlMailIcon;
  TImageList* imlPicText;
  QTimer* tmrSendMsg;
  QMenu* popFolder;
  QMenu* popMail;

  QAction* actEMail;
  QAction* actDMail;
  QAction* actSendRcv;
  QAction* actRcvAll;
  QAction* actRcvSelect;
  QAction* actDirectMailReSend;
  QAction* actMailOpen;
  QAction* actRes;
  QAction* actResAll;
  QAction* actTransfer;
  QAction* actMailDelete;
  QAction* actMailGuard;
  QAction* actMailNonGuard;
  QAction* actMailSelectAll;
  QAction* actDustBoxClear;
  QAction* actNewFolder;
  QAction* actDelFolder;
  QAction* actInportFromPHS;
  QAction* actExportToPHS;
  QAction* actClose;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateComponents();
  void FormCreate();
  void LoadPicText();
  QTreeWidgetItem* AddFolderNode(const std::string& name, int image);
  QTreeWidgetItem* FindNode(std::string_view name) const;
  static std::string NodeName(const QTreeWidgetItem* node);
  void SetListName(const std::string& name);
  void FolderChanged();
  void LoadList();
  void SetCount(int count);
  // Tells the user once that a folder is damaged: damaged rows, or -1 when
  // its files cannot be opened at all.
  void TellDamaged(const std::string& folder, int damaged);
  bool FolderDragAccepted(QTreeWidgetItem* node, const QMimeData* data) const;
  void FolderDropped(QTreeWidgetItem* node);
  void FolderItemChanged(QTreeWidgetItem* node);
  void SaveLayout();
  void SendTimer();
  // A history report: to the host's notice window, or in a box without one.
  void TellHistory(const std::string& text);

  MailListModel* model_;
  ListViewSortModel* sort_;
  std::string listName_;  // pnlListName's caption as stored bytes
  std::map<std::string, int> toldDamage_;  // folder -> damage last told
  bool ownTreeChange_ = false;  // the window itself changes the tree: no reload, no rename
  AppConnections appLinks_;  // last: they end first
};

// The plug-in's one list window, created by PluginInitialize.
extern TfrmMailList* frmMailList;

// The list window's services to the other mail windows; each does nothing
// while there is no list window.
// Reloads the folder when the list shows it.
void ShowFolderInList(std::string_view folder);
// Starts tmrSendMsg: the host is asked to send the queue on its first tick.
void RequestSendFromList();
// The pictograph table.
std::vector<std::string> ListPicTextLines();

}  // namespace qv
