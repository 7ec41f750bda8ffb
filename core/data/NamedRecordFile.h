#pragma once
// Container of named records (phone book, themes): records back to back, each
// a 32-bit little-endian length and name, then a 32-bit length and data. The
// first record of a name counts; names compare trimmed, case-sensitively.
#include <filesystem>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

// All record names in file order; false when the file is malformed (the names
// before the damage are listed).
bool ListRecords(std::istream& stream, std::vector<std::string>& names);
// The data of the first record named name. True also when no record bears the
// name (data is then left as it was); false when the file is malformed or the
// record's data is short.
bool ReadRecord(std::istream& stream, std::string_view name, std::string& data);
// Appends a record at the end of the stream; true when all of it was written.
bool AppendRecord(std::ostream& stream, std::string_view name, std::string_view data);

// Every whole record of a container held in memory, in file order, as views
// into bytes. False when the container is malformed anywhere (a length that is
// negative or runs past the end, a record cut short); the records before the
// damage are listed. One walk, for readers that want all records at once.
struct NamedRecordView {
  std::string_view name;  // as stored (untrimmed)
  std::string_view data;
};
bool ReadNamedRecords(std::string_view bytes, std::vector<NamedRecordView>& records);

using NamedRecord = std::pair<std::string, std::string>;
// Creates the container anew with the records, replacing the old file
// atomically so that a crash never leaves half a container.
bool WriteNamedRecordFile(const std::filesystem::path& path, const std::vector<NamedRecord>& records);

}  // namespace qv
