#include "controls/ColorContrast.h"

#include "controls/Graphics.h"

#include <algorithm>
#include <cmath>

namespace {

// sRGB channel value to linear light and back.
double Linear(int channel) {
  const double s = channel / 255.0;
  return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
}

int Encoded(double linear) {
  const double l = std::clamp(linear, 0.0, 1.0);
  const double s = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
  return static_cast<int>(std::lround(s * 255));
}

// weight of a, the rest of b, mixed in linear light: the luminance of the
// mix is the same mix of the two luminances.
TColor MixLinear(TColor a, TColor b, double weight) {
  const TColor x = ColorToRGB(a), y = ColorToRGB(b);
  auto mix = [&](int p, int q) { return Encoded(weight * Linear(p) + (1 - weight) * Linear(q)); };
  return RGB(mix(GetRValue(x), GetRValue(y)), mix(GetGValue(x), GetGValue(y)), mix(GetBValue(x), GetBValue(y)));
}

constexpr double kReadable = 3.0;

}  // namespace

double RelativeLuminance(TColor color) {
  const TColor c = ColorToRGB(color);
  return 0.2126 * Linear(GetRValue(c)) + 0.7152 * Linear(GetGValue(c)) + 0.0722 * Linear(GetBValue(c));
}

double ContrastRatio(TColor a, TColor b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor DisabledTextColor(TColor text, TColor back) {
  const double lt = RelativeLuminance(text), lb = RelativeLuminance(back);
  if (std::abs(lt - lb) < 1e-6) return MixLinear(text, back, 0.5);
  const double target = std::sqrt(ContrastRatio(text, back));
  const double ld = lt > lb ? target * (lb + 0.05) - 0.05 : (lb + 0.05) / target - 0.05;
  return MixLinear(text, back, (ld - lb) / (lt - lb));
}

TColor ReadableColor(TColor wanted, TColor back, TColor fallback) {
  if (ContrastRatio(wanted, back) >= kReadable) return ColorToRGB(wanted);
  const double enough = std::min(kReadable, ContrastRatio(fallback, back));
  for (int tenth = 1; tenth < 10; ++tenth) {
    const TColor mixed = MixLinear(fallback, wanted, tenth / 10.0);
    if (ContrastRatio(mixed, back) >= enough) return mixed;
  }
  return ColorToRGB(fallback);
}
