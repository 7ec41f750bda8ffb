#include "core/data/NamedRecordFile.h"

#include "core/data/TextFunctions.h"
#include "platform/FileUtil.h"

#include <cstdint>
#include <istream>
#include <optional>
#include <ostream>
#include <sstream>

namespace qv {
namespace {

enum class Got { Value, Nothing, Short };

Got ReadInt32(std::istream& in, int32_t& value) {
  unsigned char b[4];
  in.read(reinterpret_cast<char*>(b), 4);
  std::streamsize n = in.gcount();
  if (n == 0) return Got::Nothing;
  if (n < 4) return Got::Short;
  value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
  return Got::Value;
}

void WriteInt32(std::ostream& out, int32_t value) {
  auto v = static_cast<uint32_t>(value);
  char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
  out.write(b, 4);
}

// Bytes left from the current position; lengths read from the file are
// checked against it before anything is allocated or skipped.
int64_t Remaining(std::istream& in) {
  auto here = in.tellg();
  if (here < 0) return 0;
  in.seekg(0, std::ios::end);
  auto end = in.tellg();
  in.seekg(here);
  return static_cast<int64_t>(end - here);
}

struct Header {
  std::string name;
  int32_t dataLen = 0;
};

enum class Step { Record, End, Malformed };

// Reads one record's name and data length; stops before its data.
Step ReadHeader(std::istream& in, Header& h) {
  int32_t nameLen = 0;
  switch (ReadInt32(in, nameLen)) {
    case Got::Nothing: return Step::End;
    case Got::Short: return Step::Malformed;
    case Got::Value: break;
  }
  if (nameLen < 0 || nameLen > Remaining(in)) return Step::Malformed;
  h.name.assign(static_cast<size_t>(nameLen), '\0');
  in.read(h.name.data(), nameLen);
  if (in.gcount() != nameLen) return Step::Malformed;
  switch (ReadInt32(in, h.dataLen)) {
    case Got::Nothing: return Step::End;
    case Got::Short: return Step::Malformed;
    case Got::Value: break;
  }
  return Step::Record;
}

// Walks the records from the start. visit(header) either takes the record's
// data (and answers the walk's result) or leaves it to be skipped (nullopt).
template <typename Visit>
bool WalkRecords(std::istream& stream, Visit visit) {
  stream.clear();
  stream.seekg(0);
  Header h;
  for (;;) {
    switch (ReadHeader(stream, h)) {
      case Step::End: return true;
      case Step::Malformed: return false;
      case Step::Record: break;
    }
    if (std::optional<bool> result = visit(h)) return *result;
    if (h.dataLen < 0 || h.dataLen > Remaining(stream)) return false;
    stream.seekg(h.dataLen, std::ios::cur);
  }
}

}  // namespace

bool ListRecords(std::istream& stream, std::vector<std::string>& names) {
  names.clear();
  return WalkRecords(stream, [&](const Header& h) -> std::optional<bool> {
    names.push_back(h.name);
    return std::nullopt;
  });
}

bool ReadRecord(std::istream& stream, std::string_view name, std::string& data) {
  std::string wanted = TrimText(name);
  return WalkRecords(stream, [&](const Header& h) -> std::optional<bool> {
    if (TrimText(h.name) != wanted) return std::nullopt;
    data.clear();
    if (h.dataLen < 1) return true;
    if (h.dataLen > Remaining(stream)) return false;
    data.resize(static_cast<size_t>(h.dataLen));
    stream.read(data.data(), h.dataLen);
    return stream.gcount() == h.dataLen;
  });
}

bool AppendRecord(std::ostream& stream, std::string_view name, std::string_view data) {
  if (name.size() > INT32_MAX || data.size() > INT32_MAX) return false;
  stream.seekp(0, std::ios::end);
  WriteInt32(stream, static_cast<int32_t>(name.size()));
  stream.write(name.data(), static_cast<std::streamsize>(name.size()));
  WriteInt32(stream, static_cast<int32_t>(data.size()));
  stream.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(stream);
}

bool ReadNamedRecords(std::string_view bytes, std::vector<NamedRecordView>& records) {
  records.clear();
  size_t pos = 0;
  auto length = [&](int32_t& value) {
    if (bytes.size() - pos < 4) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + pos);
    value = static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                                 (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
    pos += 4;
    return true;
  };
  while (pos < bytes.size()) {
    int32_t nameLen = 0, dataLen = 0;
    if (!length(nameLen) || nameLen < 0 || static_cast<size_t>(nameLen) > bytes.size() - pos) return false;
    std::string_view name = bytes.substr(pos, static_cast<size_t>(nameLen));
    pos += static_cast<size_t>(nameLen);
    // A name with no length after it ends the walk, as the stream readers do.
    if (pos == bytes.size()) return true;
    if (!length(dataLen) || dataLen < 0 || static_cast<size_t>(dataLen) > bytes.size() - pos) return false;
    records.push_back({name, bytes.substr(pos, static_cast<size_t>(dataLen))});
    pos += static_cast<size_t>(dataLen);
  }
  return true;
}

bool WriteNamedRecordFile(const std::filesystem::path& path, const std::vector<NamedRecord>& records) {
  std::ostringstream out;
  for (const auto& [name, data] : records)
    if (!AppendRecord(out, name, data)) return false;
  return WriteFileAtomically(path, out.str());
}

}  // namespace qv
