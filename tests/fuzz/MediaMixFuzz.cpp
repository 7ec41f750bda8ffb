// The media mix's control text ("mmctrl.dat"): read leniently, written in
// its own form, and that form reads back as the same script.
#include "FuzzSupport.h"
#include "plugins/mail/picedit/MediaMix.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const qv::MediaMixScript script = qv::ParseMediaMixText(text);
  for (size_t i = 1; i < script.events.size(); ++i) QV_FUZZ_CHECK(script.events[i - 1].step < script.events[i].step);
  const std::string written = qv::FormatMediaMixText(script);
  QV_FUZZ_CHECK(qv::ParseMediaMixText(written) == script);
  QV_FUZZ_CHECK(qv::FormatMediaMixText(qv::ParseMediaMixText(written)) == written);
  return 0;
}
