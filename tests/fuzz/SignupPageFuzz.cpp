// Sign-up pages from the sign-up centre: the header, the text parts, the
// decorated ones with their pictogram tags, the choices on each line, and the
// request a reply makes.
#include "FuzzSupport.h"
#include "plugins/signup/SignupPages.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static const std::vector<std::string> picText = {"HEART=\xF0\x40", "STAR=\xF0\x44", "X=", "=\xF0\x41"};
  std::vector<std::string> lines = qv::signup::PageLines(text);
  std::vector<std::string> shown = lines;
  qv::signup::ParsePage(shown, picText);
  for (const std::string& line : shown) qv::signup::ParseChoice(line);
  qv::signup::ExpandTags(text, picText);
  size_t at = 0;
  qv::signup::Header header;
  qv::signup::ReadHeader(lines, at, header);
  std::string value, params;
  qv::signup::FindHeader(lines, "Content-Type", 0, static_cast<int>(lines.size()), value, params);
  qv::signup::BoundaryOf(params);
  const std::string request = qv::signup::CutRequest(qv::signup::RequestText("a@example.jp", shown));
  QV_FUZZ_CHECK(request.size() <= 2304);
  qv::signup::CheckInput(text);
  return 0;
}
