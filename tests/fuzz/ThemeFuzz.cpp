// Theme files (a named-record container with the theme's index and its
// frame strip): a file that loads saves and loads again as the same theme.
#include "FuzzSupport.h"
#include "core/ui/Theme.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto dir = qvfuzz::FreshFolder();
  qvfuzz::WriteFile(dir / "theme.qvt", std::string_view(reinterpret_cast<const char*>(data), size));
  qv::TBannerData theme;
  if (!qv::LoadBannerIndex(dir / "theme.qvt", theme)) return 0;
  if (int64_t{theme.Bitmap.width()} * theme.Bitmap.height() > 4'000'000) return 0;
  QV_FUZZ_CHECK(qv::SaveBannerIndex(dir / "again.qvt", theme));
  qv::TBannerData again;
  QV_FUZZ_CHECK(qv::LoadBannerIndex(dir / "again.qvt", again));
  QV_FUZZ_CHECK(again.Name == theme.Name && again.Interval == theme.Interval && again.Balloon == theme.Balloon);
  QV_FUZZ_CHECK(again.Bitmap.size() == theme.Bitmap.size());
  qv::ThemeSpeed(theme.Interval);
  return 0;
}
