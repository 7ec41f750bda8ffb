// The CP932 to Qt text edge: the fast path gives what the codec gives, for
// every character and for text the codec must repair.
#include "core/ui/QtText.h"
#include "platform/Cp932.h"

#include <gtest/gtest.h>
#include <random>

namespace {

QString ByCodec(std::string_view cp932) { return QString::fromUtf8(QByteArray::fromStdString(qv::cp932::ToUtf8(cp932))); }

}  // namespace

TEST(QtText, EveryByteAndEveryPairDecodeAsTheCodecDecodesThem) {
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    ASSERT_EQ(qv::ToQString(one), ByCodec(one)) << b;
    for (int t = 0; t < 256; ++t) {
      const std::string two{static_cast<char>(b), static_cast<char>(t)};
      ASSERT_EQ(qv::ToQString(two), ByCodec(two)) << b << " " << t;
    }
  }
}

TEST(QtText, TextTheCodecRepairsDecodesAlike) {
  std::mt19937 rng(7);
  const std::string pieces[] = {qv::Sjis("山田"), "abc", "\x83", "\xFF", std::string(1, '\0'), "\xA0", "\xF0\x40",
                                "\xED\x40", "\x81\x7F", "\xB1\xDE"};
  for (int n = 0; n < 2000; ++n) {
    std::string text;
    for (int k = 0, len = static_cast<int>(rng() % 8); k < len; ++k) text += pieces[rng() % std::size(pieces)];
    ASSERT_EQ(qv::ToQString(text), ByCodec(text)) << n;
  }
  EXPECT_EQ(qv::ToQString(""), QString());
}
