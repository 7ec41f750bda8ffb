// A module with its own static copy of the core library, as a plug-in has.
#include "core/data/Settings.h"
#include "platform/Registry.h"

#include <cstring>

extern "C" __attribute__((visibility("default"))) void module_write(const char* value) {
  qv::IniWriteString("Theme", "File", value);
  qv::Registry().WriteString("FormPosition", "Theme", value);
}

extern "C" __attribute__((visibility("default"))) void module_read(char* out, int size) {
  std::string v = qv::IniReadString("Port", "SerialPort", "");
  std::strncpy(out, v.c_str(), static_cast<size_t>(size - 1));
  out[size - 1] = 0;
}
