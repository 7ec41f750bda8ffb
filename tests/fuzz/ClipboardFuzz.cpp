// The editor's private clipboard data from another program: only whole,
// well-formed parts are taken, and they write and read back as themselves.
#include "FuzzSupport.h"
#include "plugins/mail/editor/KMailParts.h"

using namespace qv;
using namespace qv::kmail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view clip(reinterpret_cast<const char*>(data), size);
  const std::string_view parts = ValidPartsPrefix(clip);
  QV_FUZZ_CHECK(parts.size() <= clip.size() && clip.substr(0, parts.size()) == parts);
  QV_FUZZ_CHECK(ValidPartsPrefix(parts) == parts);
  for (size_t at = 0; at < parts.size();) {
    const size_t n = PartLength(parts, at);
    QV_FUZZ_CHECK(n > 0 && at + n <= parts.size());
    PartText(parts, at);
    PartColor(parts, at);
    at += n;
  }
  CountParts(parts);
  const std::string written = WriteMarkup(parts, clBlack, clWhite, "");
  MarkupContext ctx;
  ctx.deleteVoidTag = false;
  const std::string back = ReadMarkup(written, clBlack, false, ctx);
  QV_FUZZ_CHECK(ValidPartsPrefix(back) == back);
  return 0;
}
