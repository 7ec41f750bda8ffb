#pragma once
// The phone book's window: the list of entries (lsvAddress, one column per
// field), the phone-book file, its CSV export and import, the entry dialog,
// and the exchange with the handset.
#include "core/data/PhoneBook.h"
#include "plugins/contacts/ContactListWindow.h"

#include <filesystem>
#include <string>

namespace qv {

class PhoneBookModel : public TEntryListModel<PhoneBookEntry> {
 public:
  using TEntryListModel::TEntryListModel;

 protected:
  int Columns() const override { return kPhoneBookColumns; }
  const std::string& Caption(int column) const override { return PhoneBookCaption(column); }
  int ColumnTag(int column) const override { return PhoneBookColumnTag(column); }
  std::string_view CellText(int row, int column) const override { return At(row).Field(column); }
};

class TfrmAddress : public TContactList {
  Q_OBJECT
 public:
  explicit TfrmAddress(QWidget* parent = nullptr);

  PhoneBookModel& Book() const { return *book_; }
  // The entries in list order.
  PhoneBookList ListEntries() const;

  // Opens the entry dialog on the one selected entry (empty otherwise); a
  // text (CP932) goes to its mail list when it holds "@", else to its phones.
  void EditEntry(const std::string& text = {});

  bool LoadArchive(const std::filesystem::path& path, FileError* error = nullptr);
  bool SaveArchive(const std::filesystem::path& path);
  // The list as CSV (see core/data/PhoneBook.h); reading appends (whole: replaces).
  int ReadCsv(std::string_view text, bool whole, CsvTextError* error = nullptr);
  std::string WriteCsv(bool whole) const;
  bool BuildSendFile(const std::filesystem::path& path, bool* written = nullptr);
  int ParseReceivedFile(const std::filesystem::path& path);

  // The storage row of a new entry, appended at the end of the storage.
  int AppendEntry(PhoneBookEntry entry);
  void StoreEntry(int row, PhoneBookEntry entry);

  int32_t TextFromHost(int32_t id, std::string_view text) override;
  std::string PluginName() const override;

 protected:
  bool LoadFromFile(const std::filesystem::path& path, std::string& why) override;
  bool SaveToFile(const std::filesystem::path& path) override;
  std::string CsvExport() override { return WriteCsv(false); }
  bool CsvImport(std::string_view text, std::string& why) override;
  int WriteSendFile(const std::filesystem::path& path) override;
  bool ConfirmSendable() override;
  int ReadReceivedFile(const std::filesystem::path& path) override { return ParseReceivedFile(path); }
  void AddEntry() override { EditEntry(); }
  void EditSelected() override { EditEntry(); }

 private:
  PhoneBookModel* book_ = nullptr;
};

// Why a CSV text was refused, for a message (CP932).
std::string CsvRefusal(CsvTextError error);
// Why a file was not read, for a message (CP932); role names the list.
std::string FileRefusal(FileError error, const std::string& role);

}  // namespace qv
