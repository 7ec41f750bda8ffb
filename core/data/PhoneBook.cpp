#include "core/data/PhoneBook.h"

#include "core/data/NamedRecordFile.h"
#include "platform/Cp932.h"
#include "platform/FileUtil.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>
#include <unordered_map>

namespace qv {
namespace {

constexpr const char* kCaptions[kPhoneBookColumns] = {
    "名前(カナ)", "名前(漢字)",
    "電話番号1", "電話番号2", "電話番号3", "電話番号4", "電話番号5", "電話番号6",
    "メールアドレス1", "メールアドレス2", "メールアドレス3", "メールアドレス4", "メールアドレス5", "メールアドレス6",
    "郵便番号", "住所", "生年月日", "血液型", "メモ", "性別", "年齢", "趣味",
    "名前（カナ）(会社)", "名前（漢字）(会社)",
    "電話番号1(会社)", "電話番号2(会社)", "電話番号3(会社)", "電話番号4(会社)", "電話番号5(会社)", "電話番号6(会社)",
    "メールアドレス1(会社)", "メールアドレス2(会社)", "メールアドレス3(会社)", "メールアドレス4(会社)",
    "メールアドレス5(会社)", "メールアドレス6(会社)",
    "郵便番号(会社)", "住所(会社)", "生年月日(会社)", "メモ(会社)", "年齢(会社)", "役職(会社)", "部署(会社)",
    "シークレット", "グループ", "種別", "更新日", "作成日", "最終発信年月日", "最終着信年月日", "画像データ"};

struct Captions {
  std::array<std::string, kPhoneBookColumns> text;
  std::unordered_map<std::string, int> field;
  std::vector<std::string> exported;
  std::vector<int> exportedFields;
};

const Captions& C() {
  static const Captions c = [] {
    Captions c;
    for (int i = 0; i < kPhoneBookColumns; ++i) {
      c.text[static_cast<size_t>(i)] = Sjis(kCaptions[i]);
      c.field.emplace(c.text[static_cast<size_t>(i)], i);
    }
    // The exchange layout of the CSV export.
    const int fields[] = {kPbGroup, kPbListKind, kPbKanji, kPbKana, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, kPbSecret};
    for (int f : fields) {
      c.exported.push_back(c.text[static_cast<size_t>(f)]);
      c.exportedFields.push_back(f);
    }
    return c;
  }();
  return c;
}

const std::string kNone;

// Picture members are named by their row: "<row>.<any extension>".
std::optional<size_t> PictureRow(std::string_view name, size_t rows) {
  std::string_view stem = Trim(name);
  if (size_t dot = stem.rfind('.'); dot != std::string_view::npos) stem = stem.substr(0, dot);
  size_t row = 0;
  auto [end, ec] = std::from_chars(stem.data(), stem.data() + stem.size(), row);
  if (stem.empty() || ec != std::errc() || end != stem.data() + stem.size() || row >= rows) return std::nullopt;
  return row;
}

bool IsUtf8Text(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) return true;
  bool wide = false;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t n = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    wide = wide || n >= 3;
    i += n;
  }
  // Japanese text in UTF-8 is three bytes a character; Shift-JIS text almost
  // never forms such sequences throughout.
  return wide;
}

}  // namespace

const std::string& PhoneBookCaption(int field) {
  return field >= 0 && field < kPhoneBookColumns ? C().text[static_cast<size_t>(field)] : kNone;
}

int PhoneBookFieldOf(std::string_view caption) {
  const auto& map = C().field;
  auto it = map.find(std::string(caption));
  return it == map.end() ? -1 : it->second;
}

int PhoneBookColumnTag(int field) {
  switch (field) {
    case kPbBirthDate: case kPbLastOutgoing: case kPbLastIncoming: case kPbCompanyDate:
      return 2;
    case kPbAge: case kPbCompanyAge:
      return 1;
    default:
      return 0;
  }
}

std::string_view PhoneBookEntry::Field(int field) const {
  if (field < 0 || field >= FieldCount()) return {};
  const uint32_t begin = field == 0 ? 0 : ends_[static_cast<size_t>(field) - 1];
  return std::string_view(bytes_).substr(begin, ends_[static_cast<size_t>(field)] - begin);
}

void PhoneBookEntry::SetField(int field, std::string_view value) {
  if (field < 0) return;
  if (field >= FieldCount()) ends_.resize(static_cast<size_t>(field) + 1, static_cast<uint32_t>(bytes_.size()));
  const auto at = static_cast<size_t>(field);
  const uint32_t begin = at == 0 ? 0 : ends_[at - 1];
  const uint32_t old = ends_[at] - begin;
  bytes_.replace(begin, old, value);
  const auto delta = static_cast<uint32_t>(value.size()) - old;  // wraps as it should for a shorter value
  for (size_t i = at; i < ends_.size(); ++i) ends_[i] += delta;
}

std::vector<std::string> PhoneBookEntry::Fields(int first, int last) const {
  if (last < 0 || last >= FieldCount()) last = FieldCount() - 1;
  std::vector<std::string> out;
  for (int f = std::max(first, 0); f <= last; ++f) out.emplace_back(Field(f));
  return out;
}

void PhoneBookEntry::AssignRow(const TCSVData& table, int row) {
  const int cells = table.CellCount(row);
  size_t size = 0;
  for (int c = 0; c < cells; ++c) size += table.GetCell(row, c).size();
  bytes_.clear();
  bytes_.reserve(size);
  ends_.assign(static_cast<size_t>(std::max(cells, static_cast<int>(kPhoneBookFields))), 0);
  for (int c = 0; c < cells; ++c) {
    bytes_ += table.GetCell(row, c);
    ends_[static_cast<size_t>(c)] = static_cast<uint32_t>(bytes_.size());
  }
  for (size_t c = static_cast<size_t>(cells); c < ends_.size(); ++c) ends_[c] = static_cast<uint32_t>(bytes_.size());
}

std::string_view PhoneBookEntry::Field(std::string_view caption) const { return Field(PhoneBookFieldOf(caption)); }

void PhoneBookEntry::SetField(std::string_view caption, std::string_view value) {
  SetField(PhoneBookFieldOf(caption), value);
}

bool LoadArchive(const std::filesystem::path& path, PhoneBookList& entries, FileError* error) {
  auto fail = [&](FileError e) {
    if (error) *error = e;
    return false;
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return fail(FileError::Missing);
  MappedFile file(path);
  if (!file.ok()) return fail(FileError::Unreadable);
  std::vector<NamedRecordView> records;
  if (!ReadNamedRecords(file.bytes(), records)) return fail(FileError::Damaged);
  const NamedRecordView* index = nullptr;
  for (const auto& r : records)
    if (Trim(r.name) == "Address.idx") {
      index = &r;
      break;
    }
  if (!index) return fail(FileError::NoIndex);
  PhoneBookList loaded;
  ReadCsv(index->data, true, loaded);
  for (const auto& r : records) {
    if (&r == index || Trim(r.name) == "Address.idx") continue;
    if (auto row = PictureRow(r.name, loaded.size())) loaded[*row].picture = std::string(r.data);
  }
  entries = std::move(loaded);
  if (error) *error = FileError::None;
  return true;
}

bool SaveArchive(const std::filesystem::path& path, const PhoneBookList& entries) {
  std::vector<NamedRecord> records;
  records.emplace_back("Address.idx", WriteCsv(entries, true));
  for (size_t row = 0; row < entries.size(); ++row)
    if (entries[row].picture) records.emplace_back(std::to_string(row) + ".bmp", *entries[row].picture);
  return WriteNamedRecordFile(path, records);
}

bool LoadPhoneBookIndex(const std::filesystem::path& path, TCSVData& table) {
  MappedFile file(path);
  std::vector<NamedRecordView> records;
  if (!file.ok() || !ReadNamedRecords(file.bytes(), records)) return false;
  for (const auto& r : records)
    if (Trim(r.name) == "Address.idx") {
      table.LoadFromText(r.data);
      return true;
    }
  return false;
}

const std::vector<std::string>& PhoneBookExportCaptions() { return C().exported; }

CsvTextError ParseCsvText(std::string_view text, TCSVData& table) {
  // The parser itself tells what it met, so the check can never differ from
  // the reading, and nothing the writer writes is refused.
  CsvTextFindings found;
  table.LoadFromText(text, &found);
  if (found.strayNul || IsUtf8Text(text)) return CsvTextError::NotShiftJis;
  if (found.openQuote) return CsvTextError::OpenQuote;
  return CsvTextError::None;
}

CsvTextError CheckCsvText(std::string_view text) {
  TCSVData table;
  return ParseCsvText(text, table);
}

std::string WriteCsv(const PhoneBookList& entries, bool whole) {
  TCSVData table;
  if (whole) {
    for (const auto& e : entries) {
      const int r = table.AddRow();
      for (int f = e.FieldCount(); f-- > 0;) table.SetCell(r, f, e.Field(f));
    }
    return table.SaveToText();
  }
  const auto& c = C();
  const int captionRow = table.AddRow();
  for (size_t i = c.exported.size(); i-- > 0;) table.SetCell(captionRow, static_cast<int>(i), c.exported[i]);
  const std::string on = "ON";
  for (const auto& e : entries) {
    const int r = table.AddRow();
    for (size_t i = c.exportedFields.size(); i-- > 0;) {
      const int f = c.exportedFields[i];
      table.SetCell(r, static_cast<int>(i), f == kPbSecret ? (e.Field(f) == on ? "1" : "0") : e.Field(f));
    }
  }
  return table.SaveToText();
}

int ReadCsv(std::string_view text, bool whole, PhoneBookList& entries, CsvTextError* error) {
  if (error) *error = CsvTextError::None;
  TCSVData table;
  if (whole) {
    table.LoadFromText(text);
    entries.clear();
    entries.resize(static_cast<size_t>(table.RowCount()));
    for (int r = 0; r < table.RowCount(); ++r) entries[static_cast<size_t>(r)].AssignRow(table, r);
    return table.RowCount();
  }
  const CsvTextError check = ParseCsvText(text, table);
  if (check != CsvTextError::None) {
    if (error) *error = check;
    return 0;
  }
  const auto& c = C();
  int first = 0;
  if (table.RowCount() > 0 && table.Rows(0) == c.exported) first = 1;  // our own caption row
  for (int r = first; r < table.RowCount(); ++r) {
    PhoneBookEntry e;
    for (size_t i = 0; i < c.exportedFields.size(); ++i) {
      const int f = c.exportedFields[i];
      std::string_view value = table.GetCell(r, static_cast<int>(i));
      if (f == kPbSecret && (value == "1" || value == "0")) value = value == "1" ? "ON" : "OFF";
      e.SetField(f, value);
    }
    entries.push_back(std::move(e));
  }
  return table.RowCount() - first;
}

}  // namespace qv
