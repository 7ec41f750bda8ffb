// The files a user edits by hand: the settings file (ini), read key by key and
// written back, and the message file with its line breaks.
#include "FuzzSupport.h"
#include "core/data/MessageTable.h"
#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qvfuzz::Input input(data, size);
  const std::string_view ini = input.Piece(8192);
  const std::string_view messages = input.Rest();
  const auto dir = qvfuzz::FreshFolder();
  qvfuzz::WriteFile(dir / "Quorvel.ini", ini);
  qv::IniFile file(dir / "Quorvel.ini");
  for (const std::string& section : file.ReadSectionNames()) {
    QV_FUZZ_CHECK(file.SectionExists(section));
    for (const std::string& entry : file.ReadSection(section)) {
      const size_t eq = entry.find('=');
      if (eq == std::string::npos) continue;
      file.ReadString(section, entry.substr(0, eq), "");
      file.ReadInteger(section, entry.substr(0, eq), 0);
      file.ReadBool(section, entry.substr(0, eq), false);
    }
  }
  // A value written reads back as written (trimmed, as profiles keep it).
  QV_FUZZ_CHECK(file.WriteString("Fuzz", "Key", "value 1"));
  QV_FUZZ_CHECK(file.ReadString("Fuzz", "Key", "") == "value 1");
  qvfuzz::WriteFile(dir / "Message.txt", messages);
  qv::MessageTable table;
  if (table.LoadFromFile(dir / "Message.txt"))
    for (const std::string& line : table.Lines()) qv::ExpandLineBreaks(table.Text(line.substr(0, line.find('='))));
  return 0;
}
