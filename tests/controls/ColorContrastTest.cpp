// How one colour reads on another, and the colours derived from it: the
// caption of a disabled control and a marking colour kept where it reads.
#include <gtest/gtest.h>

#include <QApplication>
#include <cmath>

#include "controls/ColorContrast.h"

namespace {

TEST(ColorContrast, RatiosOfKnownPairs) {
  EXPECT_NEAR(ContrastRatio(clBlack, clWhite), 21.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(clWhite, clBlack), 21.0, 1e-9) << "either way round";
  EXPECT_NEAR(ContrastRatio(RGB(12, 34, 56), RGB(12, 34, 56)), 1.0, 1e-9);
  EXPECT_NEAR(ContrastRatio(clRed, clWhite), 4.0, 0.01);
  EXPECT_NEAR(RelativeLuminance(clWhite), 1.0, 1e-9);
  EXPECT_NEAR(RelativeLuminance(RGB(0, 255, 0)), 0.7152, 1e-4) << "green weighs most";
}

TEST(ColorContrast, ADisabledCaptionReadsDimmerThanTheEnabledOneOnLightAndDarkFaces) {
  struct Case {
    const char* what;
    TColor text, back;
  };
  const Case cases[] = {{"white on dark green", clWhite, RGB(0, 100, 0)},
                        {"navy on light yellow", RGB(0, 0, 128), RGB(255, 255, 224)},
                        {"black on white", clBlack, clWhite},
                        {"white on the default blue", clWhite, RGB(128, 128, 255)},
                        {"yellow on black", clYellow, clBlack},
                        {"red on blue, of one brightness almost", clRed, RGB(0, 0, 255)},
                        {"a system colour pair", clBtnText, clBtnFace}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TColor dim = DisabledTextColor(c.text, c.back);
    const double enabled = ContrastRatio(c.text, c.back);
    const double disabled = ContrastRatio(dim, c.back);
    EXPECT_NEAR(disabled, std::sqrt(enabled), 0.1 * std::sqrt(enabled)) << "halfway on the ratio's scale";
    if (enabled > 1.5) {
      EXPECT_LT(disabled, enabled * 0.8);
      EXPECT_GT(disabled, 1.2) << "still there";
    }
    // It lies between the two, on the text's side of the background.
    const double lt = RelativeLuminance(c.text), lb = RelativeLuminance(c.back), ld = RelativeLuminance(dim);
    EXPECT_LE(std::min(lt, lb) - 0.01, ld);
    EXPECT_LE(ld, std::max(lt, lb) + 0.01);
  }
}

TEST(ColorContrast, AMarkingColourStaysWhereItReadsAndIsMixedTowardsTheTextWhereItDoesNot) {
  struct Case {
    const char* what;
    TColor back, text;
    bool kept;
  };
  const Case cases[] = {{"white row", clWhite, clBlack, true},
                        {"navy selection", RGB(0, 0, 128), clWhite, true},
                        {"light blue selection", RGB(48, 140, 198), clWhite, false},
                        {"pale blue row", RGB(127, 127, 255), clBlack, false},
                        {"dark blue row", RGB(24, 70, 226), clWhite, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const TColor got = ReadableColor(clRed, c.back, c.text);
    if (c.kept) {
      EXPECT_EQ(got, clRed);
      continue;
    }
    EXPECT_GE(ContrastRatio(got, c.back), std::min(3.0, ContrastRatio(c.text, c.back)) - 1e-9);
    EXPECT_NE(got, c.text) << "only as far as it takes";
    EXPECT_TRUE(GetRValue(got) > GetGValue(got) && GetRValue(got) > GetBValue(got)) << "a red still: " << std::hex << got;
  }
  EXPECT_GE(ContrastRatio(ReadableColor(clWhite, clWhite, clBlack), clWhite), 3.0) << "white on white: a grey that reads";
  EXPECT_EQ(ReadableColor(clWhite, clWhite, RGB(250, 250, 250)), RGB(250, 250, 250))
      << "when nothing between them reads better, the text colour";
}

}  // namespace
