#include "plugins/contacts/QvBookMarkFRM.h"

#include "core/data/ContactExchange.h"
#include "platform/Cp932.h"
#include "plugins/contacts/QvAddressFRM.h"
#include "plugins/contacts/QvBookMarkEditFRM.h"

#include <QHeaderView>
#include <QTreeView>

namespace qv {
namespace {

const ContactListStyle& Style() {
  static const ContactListStyle style{"frmBookMark",  "lsvBookMark", "ブックマーク", "ブックマーク", keys::BookMarkFile,
                                      ".qbk", "ブックマークファイル (*.qbk)|*.qbk", "BookMark", 0, 2, QV_DATA_BOOKMARKS,
                                      28, true};
  return style;
}

}  // namespace

TfrmBookMark::TfrmBookMark(QWidget* parent) : TContactList(Style(), new BookmarkModel(), parent) {
  marks_ = static_cast<BookmarkModel*>(&Model());
  // The comment takes what the other columns leave.
  List()->header()->resizeSection(kBmName, 150);
  List()->header()->resizeSection(kBmReading, 120);
  List()->header()->resizeSection(kBmAddress, 220);
}

BookmarkList TfrmBookMark::ListEntries() const {
  BookmarkList list;
  const auto rows = RowsInListOrder();
  list.reserve(rows.size());
  for (int r : rows) list.push_back(marks_->At(r));
  return list;
}

void TfrmBookMark::EditBookMark(bool isNew, const std::string& text) {
  TfrmBookMarkEdit dialog(this);
  const int selected = SelectedRow();
  if (!isNew && selected >= 0) dialog.LoadBookmark(marks_->At(selected));
  dialog.SetModified(false);
  if (!text.empty()) dialog.SetAddress(text);
  if (dialog.exec() != QDialog::Accepted) return;
  int row = isNew ? -1 : SelectedRow();
  if (row < 0) {
    row = marks_->Append({BookmarkEntry()});
    SelectOnly(row);
  }
  marks_->Replace(row, dialog.Bookmark());
  SetModified(true);
}

int32_t TfrmBookMark::TextFromHost(int32_t id, std::string_view text) {
  if (id == 1) {
    ShowFromHost();
    SelectOnly(-1);
    EditBookMark(true, std::string(text));
    ShowCount();
  }
  return 1;
}

std::string TfrmBookMark::PluginName() const { return Sjis("ブックマーク"); }

bool TfrmBookMark::LoadFromFile(const std::filesystem::path& path, std::string& why) {
  BookmarkList entries;
  FileError error = FileError::None;
  if (!LoadBookmarks(path, entries, &error)) {
    why = FileRefusal(error, Role());
    return false;
  }
  marks_->SetEntries(std::move(entries));
  return true;
}

bool TfrmBookMark::SaveToFile(const std::filesystem::path& path) { return SaveBookmarks(path, ListEntries()); }

std::string TfrmBookMark::CsvExport() { return WriteCsv(ListEntries(), false); }

bool TfrmBookMark::CsvImport(std::string_view text, std::string& why) {
  BookmarkList entries;
  CsvTextError error = CsvTextError::None;
  ReadCsv(text, false, entries, &error);
  why = CsvRefusal(error);
  marks_->Append(std::move(entries));
  return error == CsvTextError::None;
}

int TfrmBookMark::WriteSendFile(const std::filesystem::path& path) {
  bool written = false;
  const bool any = BuildSendFile(path, ListEntries(), &written);
  return !written ? -1 : any ? 1 : 0;
}

int TfrmBookMark::ReadReceivedFile(const std::filesystem::path& path) {
  BookmarkList found;
  const int n = ParseReceivedFile(path, found);
  marks_->Append(std::move(found));
  return n;
}

}  // namespace qv
