#pragma once
// The bookmarks' window: the list of bookmarks (lsvBookMark: name, reading,
// address, comment), the bookmark file, its CSV export and import, the
// bookmark dialog, and the exchange with the handset.
#include "core/data/Bookmarks.h"
#include "plugins/contacts/ContactListWindow.h"

#include <filesystem>
#include <string>

namespace qv {

class BookmarkModel : public TEntryListModel<BookmarkEntry> {
 public:
  using TEntryListModel::TEntryListModel;

 protected:
  int Columns() const override { return kBookmarkFields; }
  const std::string& Caption(int column) const override { return BookmarkCaption(column); }
  int ColumnTag(int) const override { return 0; }
  std::string_view CellText(int row, int column) const override { return At(row).Field(column); }
};

class TfrmBookMark : public TContactList {
  Q_OBJECT
 public:
  explicit TfrmBookMark(QWidget* parent = nullptr);

  BookmarkModel& Marks() const { return *marks_; }
  BookmarkList ListEntries() const;

  // Opens the bookmark dialog: for a new bookmark, or on the one selected
  // bookmark; a text (CP932) goes into its address field. On OK the bookmark
  // is stored (a new one appended and selected alone).
  void EditBookMark(bool isNew, const std::string& text = {});

  int32_t TextFromHost(int32_t id, std::string_view text) override;
  std::string PluginName() const override;

 protected:
  bool LoadFromFile(const std::filesystem::path& path, std::string& why) override;
  bool SaveToFile(const std::filesystem::path& path) override;
  std::string CsvExport() override;
  bool CsvImport(std::string_view text, std::string& why) override;
  int WriteSendFile(const std::filesystem::path& path) override;
  int ReadReceivedFile(const std::filesystem::path& path) override;
  void AddEntry() override { EditBookMark(true); }
  void EditSelected() override { EditBookMark(false); }

 private:
  BookmarkModel* marks_ = nullptr;
};

}  // namespace qv
