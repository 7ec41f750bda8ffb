// The named-record container (phone books, themes): the names listed read
// back, and the records written anew list and read the same.
#include "FuzzSupport.h"
#include "core/data/NamedRecordFile.h"

#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream in(bytes);
  std::vector<std::string> names;
  qv::ListRecords(in, names);
  std::vector<std::pair<std::string, std::string>> records;
  for (const std::string& name : names) {
    std::istringstream again(bytes);
    std::string record;
    if (qv::ReadRecord(again, name, record)) records.emplace_back(name, record);
  }
  std::ostringstream out;
  for (const auto& [name, record] : records) QV_FUZZ_CHECK(qv::AppendRecord(out, name, record));
  std::istringstream written(out.str());
  std::vector<std::string> writtenNames;
  QV_FUZZ_CHECK(qv::ListRecords(written, writtenNames));
  QV_FUZZ_CHECK(writtenNames.size() == records.size());
  for (const auto& [name, record] : records) {
    std::istringstream again(out.str());
    std::string back;
    QV_FUZZ_CHECK(qv::ReadRecord(again, name, back));
  }
  return 0;
}
