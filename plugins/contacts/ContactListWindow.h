#pragma once
// The list window that the phone book and the bookmarks share: one file at a
// time (new, open, save, save as), CSV import and export, add, edit and
// delete, and the exchange with the handset through the launcher. What the
// two lists hold and how an entry is edited is each one's own.
#include "abi/PluginApi.h"
#include "core/data/SettingsKeys.h"
#include "plugins/contacts/ContactListModel.h"

#include <QMainWindow>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTreeView;
class TImageList;

namespace qv {

class ListViewSortModel;

// What differs between the two lists (UTF-8 texts; the role names the list
// in captions, hints and messages).
struct ContactListStyle {
  const char* objectName;  // "frmAddress"
  const char* listName;    // "lsvAddress"
  const char* role;        // "電話帳"
  const char* dataRole;    // "電話帳データ": what is sent and received
  keys::Key fileKey;       // [File] AddressFile
  const char* extension;   // ".qad"
  const char* fileFilter;  // "電話帳ファイル (*.qad)|*.qad"
  const char* ident;       // placement and columns
  int percent;             // of the work area, for the first placement
  int defaultSort;         // column (1-based)
  int dataKind;            // exchange file and requests 5 and 6
  int icon;                // the window's CLIPICON cell
  bool saveOnlyWhenModified;
};

class TContactList : public QMainWindow {
  Q_OBJECT
 public:
  ~TContactList() override;

  // True at once when nothing changed; else asks whether to save first (Yes
  // saves and gives its result, No gives true, Cancel false).
  bool ConfirmDiscard();
  // Opens the file (CP932 path bytes as the file system holds them); without
  // a name the open dialog asks for one. The list is re-sorted after.
  void OpenFile(const std::string& name = {});
  // Saves under the name (the current one when empty); without a name, or
  // when the save fails, SaveFileAs. False when nothing was saved.
  bool SaveFile(const std::string& name = {});
  bool SaveFileAs();
  // Records the file name in the caption and the settings and clears the
  // modified flag.
  void SetFileName(const std::string& name);
  // Selects the storage row alone (-1: nothing).
  void SelectOnly(int row);
  // The entry count in the status line.
  void ShowCount();

  void New();
  void ImportCsv();
  void ExportCsv();
  // Send to and receive from the handset through the launcher.
  void ExportData();
  void ImportData();
  void DeleteSelected();

  bool Modified() const { return modified_; }
  void SetModified(bool modified);
  const std::string& FileName() const { return fileName_; }

  // Storage rows: those selected, in list order; the one selected (-1 unless
  // exactly one); all, in list order.
  std::vector<int> SelectedRows() const;
  int SelectedRow() const;
  std::vector<int> RowsInListOrder() const;
  // The storage row before or after row in list order (-1 at either end).
  int NeighbourRow(int row, int step) const;
  // Sorts the list again by its column.
  void Resort();

  // The host's requests: shown by ShowForm, asked by CloseForm, handed texts
  // by SetStr.
  void ShowFromHost();
  bool CloseFromHost();
  virtual int32_t TextFromHost(int32_t id, std::string_view text) = 0;
  // The display name the launcher lists the plug-in under (CP932).
  virtual std::string PluginName() const = 0;

  QTreeView* List() const { return list_; }
  TContactListModel& Model() const { return *model_; }

  QAction* actNew;
  QAction* actOpen;
  QAction* actSave;
  QAction* actSaveAs;
  QAction* actImportCSV;
  QAction* actExportCSV;
  QAction* actExportData;
  QAction* actImportData;
  QAction* actClose;
  QAction* actAdd;
  QAction* actEdit;
  QAction* actDel;
  QMenu* popList;
  QLabel* pnlCount;
  TImageList* ImageList1;

 protected:
  TContactList(const ContactListStyle& style, TContactListModel* model, QWidget* parent = nullptr);

  // What each list does with its own entries. Messages for failures are the
  // window's; these only report.
  virtual bool LoadFromFile(const std::filesystem::path& path, std::string& why) = 0;
  virtual bool SaveToFile(const std::filesystem::path& path) = 0;
  virtual std::string CsvExport() = 0;
  // Appends the rows of a CSV text; false (nothing appended) when the text is
  // refused, with the reason.
  virtual bool CsvImport(std::string_view text, std::string& why) = 0;
  // Writes the exchange file; the number of lines, -1 when it could not be written.
  virtual int WriteSendFile(const std::filesystem::path& path) = 0;
  // Asks before sending what the handset cannot take; false stops the send.
  virtual bool ConfirmSendable() { return true; }
  virtual int ReadReceivedFile(const std::filesystem::path& path) = 0;
  virtual void AddEntry() = 0;
  virtual void EditSelected() = 0;

  // CP932 text of the style's UTF-8.
  std::string Role() const;
  void UpdateActions();

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreateComponents();
  void CreateMenus();
  void Tell(const std::string& text);
  void Fail(const std::string& text);
  std::filesystem::path CurrentFolder() const;

  const ContactListStyle& style_;
  TContactListModel* model_;
  QTreeView* list_;
  ListViewSortModel* sort_;
  std::string fileName_;
  bool modified_ = false;
};

}  // namespace qv
