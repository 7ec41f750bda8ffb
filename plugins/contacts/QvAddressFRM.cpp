#include "plugins/contacts/QvAddressFRM.h"

#include "core/data/ContactExchange.h"
#include "core/ui/Dialogs.h"
#include "core/data/TextFunctions.h"
#include "platform/Cp932.h"
#include "plugins/contacts/QvAddressEditFRM.h"

namespace qv {
namespace {

const ContactListStyle& Style() {
  static const ContactListStyle style{"frmAddress", "lsvAddress", "電話帳", "電話帳データ", keys::AddressFile, ".qad",
                                      "電話帳ファイル (*.qad)|*.qad", "Address", 90, 1, QV_DATA_PHONE_BOOK, 11, false};
  return style;
}

// Names of entries for a message: the kanji name, else the kana name.
std::string Names(const PhoneBookList& entries, const std::vector<int>& rows) {
  std::string names;
  for (size_t i = 0; i < rows.size() && i < 3; ++i) {
    const PhoneBookEntry& e = entries[static_cast<size_t>(rows[i])];
    const std::string_view name = e.Field(kPbKanji).empty() ? e.Field(kPbKana) : e.Field(kPbKanji);
    names += (i ? Sjis("、") : "") + (name.empty() ? Sjis("(名前なし)") : std::string(name));
  }
  if (rows.size() > 3) names += Sjis(" ほか");
  return names;
}

}  // namespace

std::string CsvRefusal(CsvTextError error) {
  switch (error) {
    case CsvTextError::NotShiftJis:
      return Sjis("Shift-JISのテキストではありません。");
    case CsvTextError::OpenQuote:
      return Sjis("閉じていない引用符 (\") があります。");
    default:
      return {};
  }
}

std::string FileRefusal(FileError error, const std::string& role) {
  switch (error) {
    case FileError::Missing:
      return Sjis("ファイルが見つかりません。");
    case FileError::NoIndex:
    case FileError::Damaged:
      return role + Sjis("ファイルではないか、壊れています。");
    default:
      return role + Sjis("ファイルを読み込めませんでした。");
  }
}

TfrmAddress::TfrmAddress(QWidget* parent) : TContactList(Style(), new PhoneBookModel(), parent) {
  book_ = static_cast<PhoneBookModel*>(&Model());
}

PhoneBookList TfrmAddress::ListEntries() const {
  PhoneBookList list;
  const auto rows = RowsInListOrder();
  list.reserve(rows.size());
  for (int r : rows) list.push_back(book_->At(r));
  return list;
}

void TfrmAddress::EditEntry(const std::string& text) {
  TfrmAddressEdit dialog(*this);
  if (SelectedRow() >= 0) dialog.LoadEntry(*this, SelectedRow());
  dialog.SetModified(false);
  if (!text.empty()) {
    dialog.AddLine(text.find('@') != std::string::npos, text);
    dialog.SetModified(true);
  }
  dialog.exec();
}

bool TfrmAddress::LoadArchive(const std::filesystem::path& path, FileError* error) {
  PhoneBookList entries;
  if (!qv::LoadArchive(path, entries, error)) return false;
  book_->SetEntries(std::move(entries));
  return true;
}

bool TfrmAddress::SaveArchive(const std::filesystem::path& path) { return qv::SaveArchive(path, ListEntries()); }

int TfrmAddress::ReadCsv(std::string_view text, bool whole, CsvTextError* error) {
  PhoneBookList entries;
  const int n = qv::ReadCsv(text, whole, entries, error);
  if (whole)
    book_->SetEntries(std::move(entries));
  else
    book_->Append(std::move(entries));
  return n;
}

std::string TfrmAddress::WriteCsv(bool whole) const { return qv::WriteCsv(ListEntries(), whole); }

bool TfrmAddress::BuildSendFile(const std::filesystem::path& path, bool* written) {
  return qv::BuildSendFile(path, ListEntries(), written);
}

int TfrmAddress::ParseReceivedFile(const std::filesystem::path& path) {
  PhoneBookList found;
  const int n = qv::ParseReceivedFile(path, found);
  book_->Append(std::move(found));
  return n;
}

int TfrmAddress::AppendEntry(PhoneBookEntry entry) {
  PhoneBookList one;
  one.push_back(std::move(entry));
  return book_->Append(std::move(one));
}

void TfrmAddress::StoreEntry(int row, PhoneBookEntry entry) { book_->Replace(row, std::move(entry)); }

int32_t TfrmAddress::TextFromHost(int32_t id, std::string_view text) {
  if (id != 1) return 0;
  ShowFromHost();
  SelectOnly(-1);
  EditEntry(std::string(text));
  return 1;
}

std::string TfrmAddress::PluginName() const { return Sjis("電話帳"); }

bool TfrmAddress::LoadFromFile(const std::filesystem::path& path, std::string& why) {
  FileError error = FileError::None;
  if (LoadArchive(path, &error)) return true;
  why = FileRefusal(error, Role());
  return false;
}

bool TfrmAddress::SaveToFile(const std::filesystem::path& path) { return SaveArchive(path); }

bool TfrmAddress::CsvImport(std::string_view text, std::string& why) {
  CsvTextError error = CsvTextError::None;
  ReadCsv(text, false, &error);
  why = CsvRefusal(error);
  return error == CsvTextError::None;
}

int TfrmAddress::WriteSendFile(const std::filesystem::path& path) {
  bool written = false;
  const bool any = BuildSendFile(path, &written);
  return !written ? -1 : any ? 1 : 0;
}

bool TfrmAddress::ConfirmSendable() {
  const PhoneBookList entries = ListEntries();
  const std::vector<int> rows = EntriesWithoutHandsetName(entries);
  if (rows.empty()) return true;
  const std::string text = Sjis("名前(カナ)を電話機の文字で表せない電話帳データが ") + std::to_string(rows.size()) +
                           Sjis(" 件あります (") + Names(entries, rows) +
                           Sjis(")。\r\nこれらは電話機に名前なしで登録され、次の受信では読み込まれません。\r\n"
                                "送信を続けますか？");
  return AskWarning(this, text, false) == Answer::Yes;
}

}  // namespace qv
