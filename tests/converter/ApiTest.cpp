// The converter's state block, text fields and channel settings, through the
// built module.
#include "TcvTestApi.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tcvtest {
namespace {

TEST(TcvApi, InitialResetsTheWholeInfoBlockAndScanState) {
  const TcvApi& tcv = Module();
  uint8_t junk[TCV_INFO_SIZE];
  std::memset(junk, 0xAB, sizeof junk);
  tcv.setInfo(junk);
  const Bytes song = SmfBuilder().Program(0, 3, 17).End().File();
  ASSERT_EQ(tcv.scan(song.data(), static_cast<int32_t>(song.size())), 1);

  tcv.initial(7, 9);
  const Info info = GetInfo(tcv);
  struct {
    size_t offset;
    uint32_t value;
  } words[] = {{0, 0}, {4, 0}, {8, 0}, {12, 0}, {16, 1}, {256, 0}, {260, 0}, {264, 0}, {268, 0}, {272, 0}, {276, 0}, {280, 0}};
  for (const auto& w : words) EXPECT_EQ(info.U32(w.offset), w.value) << "offset " << w.offset;
  EXPECT_EQ(info.raw[20], 0xFF) << "time signature none";
  EXPECT_EQ(info.raw[25], 0xFF) << "key signature none";
  EXPECT_EQ(info.raw[28], 0xFF) << "tempo none";
  EXPECT_EQ(info.Range(32, 188), Bytes(188, 0)) << "all eight texts empty";
  EXPECT_EQ(info.Range(220, 4), (Bytes{0, 1, 2, 3}));
  EXPECT_EQ(info.Range(224, 16), (Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_EQ(info.Range(240, 16), Bytes(16, 0));
  EXPECT_EQ(info.Range(284, 64), Bytes(64, 0));

  uint8_t used[128];
  std::memset(used, 0xCC, sizeof used);
  tcv.getUsedVoice(used);
  EXPECT_EQ(Bytes(used, used + 128), Bytes(128, 0));
  EXPECT_EQ(tcv.getError(), 0);
  EXPECT_EQ(tcv.pseudoSize(), 22);
}

TEST(TcvApi, InfoBlockCopiesWholeBothWays) {
  const TcvApi& tcv = Module();
  uint8_t in[TCV_INFO_SIZE], out[TCV_INFO_SIZE];
  for (size_t i = 0; i < sizeof in; ++i) in[i] = static_cast<uint8_t>(i * 7 + 1);
  tcv.setInfo(in);
  tcv.getInfo(out);
  EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
  tcv.initial(0, 0);
}

struct TextField {
  const char* name;
  TcvSetTextFn TcvApi::*setter;
  size_t offset, max;
};

TEST(TcvApi, TextSettersAreBoundedCopiesPaddedWithNul) {
  const TcvApi& tcv = Module();
  const TextField fields[] = {
      {"title", &TcvApi::setTitle, 32, 40},         {"artist", &TcvApi::setArtist, 73, 20},
      {"genre", &TcvApi::setGenre, 94, 20},         {"copyright", &TcvApi::setCopyright, 115, 20},
      {"creator", &TcvApi::setCreator, 136, 20},    {"composer", &TcvApi::setComposer, 157, 20},
      {"lyrics", &TcvApi::setLyrics, 178, 20},      {"arranger", &TcvApi::setArranger, 199, 20},
  };
  const std::string long50 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx";
  for (const TextField& f : fields) {
    SCOPED_TRACE(f.name);
    tcv.initial(0, 0);
    (tcv.*f.setter)(long50.c_str());
    Info info = GetInfo(tcv);
    EXPECT_EQ(info.Text(f.offset, f.max + 1), long50.substr(0, f.max));
    EXPECT_EQ(info.raw[f.offset + f.max], 0) << "the terminator byte stays";
    EXPECT_NE(info.raw[f.offset + f.max + 1], 'A') << "nothing spills into the next field";

    (tcv.*f.setter)("xy");  // a shorter text leaves nothing of the longer one
    info = GetInfo(tcv);
    Bytes expected(f.max + 1, 0);
    expected[0] = 'x';
    expected[1] = 'y';
    EXPECT_EQ(info.Range(f.offset, f.max + 1), expected);
  }
  tcv.initial(0, 0);
}

TEST(TcvApi, TextCutNeverSplitsADoubleByteCharacter) {
  const TcvApi& tcv = Module();
  tcv.initial(0, 0);
  // 19 ASCII bytes, then a two-byte character across the 20-byte limit.
  tcv.setArtist("ABCDEFGHIJKLMNOPQRS\x82\xA0");
  EXPECT_EQ(GetInfo(tcv).Text(73, 21), "ABCDEFGHIJKLMNOPQRS");
  // Exactly at the limit it fits whole.
  tcv.setArtist("ABCDEFGHIJKLMNOPQR\x82\xA0");
  EXPECT_EQ(GetInfo(tcv).Text(73, 21), "ABCDEFGHIJKLMNOPQR\x82\xA0");
}

TEST(TcvApi, GettersReturnTerminatedTextsEvenFromARawBlock) {
  const TcvApi& tcv = Module();
  uint8_t raw[TCV_INFO_SIZE];
  std::memset(raw, 'Z', sizeof raw);
  tcv.setInfo(raw);
  char title[41], copyright[21];
  tcv.getTitle(title);
  tcv.getCopyright(copyright);
  EXPECT_EQ(std::string(title), std::string(40, 'Z'));
  EXPECT_EQ(std::string(copyright), std::string(20, 'Z'));
  tcv.initial(0, 0);
}

TEST(TcvApi, ChannelSettingsLandInTheInfoBlock) {
  const TcvApi& tcv = Module();
  tcv.initial(0, 0);
  const uint8_t map[4] = {2, 1, 4, 3};
  uint8_t remap[16];
  std::memset(remap, 0xFF, sizeof remap);
  remap[0] = 5;
  remap[9] = 9;
  uint8_t programs[16];
  for (int i = 0; i < 16; ++i) programs[i] = static_cast<uint8_t>(100 + i);
  tcv.setChannelMap(map);
  tcv.setChannelRemap(remap);
  tcv.setInitVoice(programs);
  const Info info = GetInfo(tcv);
  EXPECT_EQ(info.Range(220, 4), Bytes(map, map + 4));
  EXPECT_EQ(info.Range(224, 16), Bytes(remap, remap + 16));
  EXPECT_EQ(info.Range(240, 16), Bytes(programs, programs + 16));
  uint8_t back[16];
  tcv.getInitVoice(back);
  EXPECT_EQ(Bytes(back, back + 16), Bytes(programs, programs + 16));
}

TEST(TcvApi, NullArgumentsAreHarmless) {
  const TcvApi& tcv = Module();
  tcv.initial(0, 0);
  EXPECT_EQ(tcv.scan(nullptr, 100), 0);
  EXPECT_EQ(tcv.scan(SmfBuilder().End().File().data(), -5), 0);
  EXPECT_EQ(tcv.toDxm(nullptr, 100, nullptr), nullptr);
  EXPECT_EQ(tcv.testPoly(nullptr), 0);
  EXPECT_EQ(tcv.toSmf(nullptr, nullptr), nullptr);
  tcv.setTitle(nullptr);
  tcv.getInfo(nullptr);
  tcv.setInfo(nullptr);
  tcv.getUsedVoice(nullptr);
  tcv.getTitle(nullptr);
  tcv.setChannelRemap(nullptr);
  EXPECT_EQ(GetInfo(tcv).U32(16), 1u);
}

}  // namespace
}  // namespace tcvtest
