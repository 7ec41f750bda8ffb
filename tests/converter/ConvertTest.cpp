// Conversion of a MIDI file into the ringtone file: layout, timing, note
// folding, channel mapping and the reduced event stream.
#include "TcvTestApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

namespace tcvtest {
namespace {

Bytes Events(const Bytes& midi) { return TrackEvents(FreshRingtone(Module(), midi)); }

TEST(TcvConvert, HandWorkedRingtoneMatchesTheFormatByteForByte) {
  const TcvApi& tcv = Module();
  const Bytes midi = Hex(
      "4D 54 68 64 00 00 00 06 00 00 00 01 00 60"  // MThd, format 0, one track, 96 ticks
      "4D 54 72 6B 00 00 00 2C"
      "00 FF 03 04 53 6F 6E 67"           // track name "Song"
      "00 FF 58 04 04 02 18 08"           // 4/4
      "00 FF 59 02 FF 00"                 // F major (one flat)
      "00 FF 51 03 07 A1 20"              // 120 bpm
      "00 C0 05"                          // program 5
      "00 90 3C 64"                       // note on 60
      "60 80 3C 40"                       // a quarter later, note off
      "00 FF 2F 00");
  ASSERT_EQ(midi.size(), 22u + 0x2C);
  tcv.initial(0, 0);
  tcv.setArtist("Me");
  const uint8_t map[4] = {1, 2, 3, 4};
  tcv.setChannelMap(map);
  ASSERT_EQ(tcv.scan(midi.data(), static_cast<int32_t>(midi.size())), 1);
  const std::time_t before = std::time(nullptr);
  const Bytes r = ToRingtone(tcv, midi);
  const std::time_t after = std::time(nullptr);
  ASSERT_EQ(r.size(), 419u);

  const std::vector<DirEntry> directory = {
      {0x0000, 314, 4}, {0x0001, 0, 0},   {0x0010, 318, 4},  {0x0011, 322, 10}, {0x0020, 0, 0},
      {0x0021, 0, 0},   {0x0030, 0, 0},   {0x0031, 0, 0},    {0x0200, 332, 4},  {0x0201, 336, 2},
      {0x0202, 338, 2}, {0x0203, 340, 4}, {0x0204, 344, 1},  {0x0205, 345, 4},  {0x0240, 376, 43},
      {0x0280, 349, 4}, {0x0281, 353, 4}, {0x0282, 357, 4},  {0x0283, 361, 8},  {0x0284, 0, 0},
      {0x0285, 369, 1}, {0x0286, 0, 0},   {0x02C0, 370, 4},  {0x02C1, 374, 2},  {0x02C2, 0, 0},
      {0x02C3, 0, 0},   {0x02C4, 0, 0},   {0x02C5, 0, 0},    {0x02C6, 0, 0},    {0x02C7, 0, 0},
      {0xFFFF, 0, 0}};
  EXPECT_EQ(std::string(r.begin(), r.begin() + 4), "MCDF");
  EXPECT_EQ(Directory(r), directory);

  Bytes expected = Hex(
      "30 31 2E 30"                       // 0000 version "01.0"
      "00 00 FF FF"                       // 0010
      "00 10 00 00 00 00 00 00 FF FF"     // 0011
      "04 02 18 08"                       // 0200 time signature
      "FF 00"                             // 0201 key signature
      "00 78"                             // 0202 120 bpm
      "01 02 03 04"                       // 0203 channel map
      "00"                                // 0204
      "05 00 00 00"                       // 0205 initial programs
      "00 00 01 F4"                       // 0280 500 ms
      "00 00 00 2B"                       // 0281 events + 22
      "32 38 35 36");                     // 0282 "2856"
  expected.insert(expected.end(), r.begin() + 361, r.begin() + 369);  // 0283, checked below
  const Bytes rest = Hex(
      "00"                                // 0285
      "53 6F 6E 67"                       // 02C0 title
      "4D 65"                             // 02C1 artist
      "43 54 68 64 00 00 00 06 00 00 00 01 00 18"  // CThd, 24 ticks per quarter
      "43 54 72 6B 00 00 00 15"           // CTrk, 21 bytes of events
      "00 FF 51 03 07 A1 20"
      "00 C0 05"
      "00 90 3C 64"
      "18 80 3C"                          // 24 ticks, note-off without velocity
      "00 FF 2F 00");
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(ToHex(Bytes(r.begin() + 314, r.end())), ToHex(expected));

  // 0283: (year x 256 + month), (day, hour, minute, second), local time.
  const uint32_t date = BE32(r, 361), time = BE32(r, 365);
  std::tm tm{};
  tm.tm_year = static_cast<int>(date >> 8) - 1900;
  tm.tm_mon = static_cast<int>(date & 0xFF) - 1;
  tm.tm_mday = static_cast<int>(time >> 24);
  tm.tm_hour = static_cast<int>((time >> 16) & 0xFF);
  tm.tm_min = static_cast<int>((time >> 8) & 0xFF);
  tm.tm_sec = static_cast<int>(time & 0xFF);
  tm.tm_isdst = -1;
  const std::time_t stamped = std::mktime(&tm);
  EXPECT_GE(stamped, before - 1);
  EXPECT_LE(stamped, after + 1);

  const Info info = GetInfo(tcv);
  EXPECT_EQ(info.U32(0), 500u);
  EXPECT_EQ(info.U32(256), 21u);
  EXPECT_EQ(info.U32(260), 1u);
  EXPECT_EQ(info.U32(264), 376u);
  EXPECT_EQ(info.U32(268), 1u);
  EXPECT_EQ(info.U32(272), 353u);
  EXPECT_EQ(info.U32(276), 349u);
  EXPECT_EQ(info.U32(280), 0u);
  EXPECT_EQ(tcv.getError(), 0);
  EXPECT_EQ(tcv.pseudoSize(), 21 + 22 + 1);
}

TEST(TcvConvert, SizeQueryIsExactAndChangesNothing) {
  const TcvApi& tcv = Module();
  const Bytes files[] = {
      SmfBuilder().End().File(),
      SmfBuilder(480).Tempo(0, 500000).NoteOn(0, 0, 60).Tempo(960, 250000).NoteOff(960, 0, 60).End().File(),
      SmfBuilder().Meta(0, 3, "Title").NoteOn(0, 12, 60).Raw(100000, {0xE0, 1, 2}).File(),  // no end of track
  };
  for (const Bytes& midi : files) {
    tcv.initial(0, 0);
    tcv.setComposer("Someone");
    ASSERT_EQ(tcv.scan(midi.data(), static_cast<int32_t>(midi.size())), 1);
    Info before = GetInfo(tcv);
    const int32_t size = tcv.dxmSize(midi.data(), static_cast<int32_t>(midi.size()));
    EXPECT_EQ(std::memcmp(before.raw, GetInfo(tcv).raw, TCV_INFO_SIZE), 0) << "tcvGetDXMSize left the state alone";
    Bytes out(static_cast<size_t>(size) + 64, 0xEE);
    uint8_t* end = tcv.toDxm(midi.data(), static_cast<int32_t>(midi.size()), out.data());
    EXPECT_EQ(end - out.data(), size);
    EXPECT_EQ(Bytes(out.begin() + size, out.end()), Bytes(64, 0xEE)) << "nothing written past the size";
    EXPECT_EQ(tcv.dxmSize(midi.data(), static_cast<int32_t>(midi.size())), size) << "the same again after converting";
  }
}

TEST(TcvConvert, DeltaTimesBecome24TicksPerQuarterWithTheRestCarried) {
  // 96 source ticks per quarter: four source ticks per output tick.
  EXPECT_EQ(ToHex(Events(SmfBuilder(96).NoteOn(0, 0, 60).NoteOn(2, 0, 61).NoteOn(2, 0, 62).NoteOn(2, 0, 63)
                             .NoteOn(2, 0, 64).End().File())),
            "00 90 3C 64 00 3D 64 01 3E 64 00 3F 64 01 40 64 00 FF 2F 00");
  EXPECT_EQ(ToHex(Events(SmfBuilder(480).NoteOn(0, 0, 60).NoteOff(240, 0, 60).End().File())),
            "00 90 3C 64 0C 80 3C 00 FF 2F 00");
  // Dropped controllers leave their time to the next event written.
  EXPECT_EQ(ToHex(Events(SmfBuilder(96).NoteOn(0, 0, 60).Control(48, 0, 10, 64).Control(48, 0, 11, 100)
                             .NoteOff(96, 0, 60).End().File())),
            "00 90 3C 64 30 80 3C 00 FF 2F 00");
}

TEST(TcvConvert, NotesFoldIntoTheProgramsRangeByFewestOctaves) {
  struct Case {
    int program, note, expected;
  } cases[] = {
      {0, 24, 36},   {0, 96, 84},   {0, 20, 32},   {0, 107, 95},  {0, 60, 60},  {0, 0, 36},
      {0, 127, 91},  {32, 10, 22},  {32, 90, 78},  {112, 84, 72}, {72, 40, 52}, {72, 110, 98},
      {123, 5, 5},   {127, 127, 127}, {40, 31, 43}, {58, 19, 31},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "program " << c.program << " note " << c.note);
    const Bytes events = Events(SmfBuilder(24).Program(0, 0, c.program).NoteOn(0, 0, c.note).NoteOff(24, 0, c.note).End().File());
    const Bytes want = {0x00, 0xC0, static_cast<uint8_t>(c.program), 0x00, 0x90, static_cast<uint8_t>(c.expected), 100,
                        0x18, 0x80, static_cast<uint8_t>(c.expected), 0x00, 0xFF, 0x2F, 0x00};
    EXPECT_EQ(ToHex(events), ToHex(want));
  }
}

TEST(TcvConvert, NoteOffMatchesItsNoteOnAcrossAProgramChange) {
  // Note 20 sounds as 32 under program 0; program 72 (from 44) must not move its note-off.
  EXPECT_EQ(ToHex(Events(SmfBuilder(24).NoteOn(0, 0, 20).Program(12, 0, 72).NoteOff(12, 0, 20).NoteOn(0, 0, 20)
                             .End().File())),
            "00 90 20 64 0C C0 48 0C 80 20 00 90 2C 64 00 FF 2F 00");
}

TEST(TcvConvert, WritesOnlyWhatTheHandsetPlays) {
  const TcvApi& tcv = Module();
  const Bytes midi = SmfBuilder(24)
                         .Program(0, 0, 0)
                         .NoteOn(0, 0, 60)
                         .Raw(1, {0xA0, 60, 50})          // key pressure
                         .Raw(1, {0xD0, 40})              // channel pressure
                         .Control(1, 0, 1, 20)            // modulation
                         .Control(1, 0, 10, 64)           // pan
                         .Control(1, 0, 11, 90)           // expression
                         .Control(1, 0, 64, 127)          // sustain
                         .Raw(1, {0xE0, 0x12, 0x50})      // pitch bend
                         .Raw(1, {0xF0, 0x03, 0x43, 0x10, 0xF7})
                         .Raw(1, {0xF7, 0x02, 0x01, 0x02})
                         .Meta(1, 0x01, "text")
                         .Meta(1, 0x06, "marker")
                         .NoteOff(1, 0, 60)
                         .End()
                         .File();
  const Bytes r = FreshRingtone(tcv, midi);
  EXPECT_EQ(ToHex(TrackEvents(r)),
            "00 C0 00 00 90 3C 64 03 B0 01 14 03 40 7F 01 E0 50 05 80 3C 00 FF 2F 00");
  const Info info = GetInfo(tcv);
  EXPECT_EQ(info.U32(268), 2u) << "the bend's low byte and the note-off velocity";
  EXPECT_EQ(tcv.pseudoSize(), static_cast<int32_t>(TrackEvents(r).size() + 22 + 2));
}

TEST(TcvConvert, ChannelsMapToMelodyRolesAndRhythm) {
  const TcvApi& tcv = Module();
  const Bytes midi = SmfBuilder(24)
                         .Program(0, 5, 10)
                         .Program(0, 2, 20)
                         .NoteOn(0, 5, 60)
                         .NoteOn(0, 2, 50)
                         .NoteOn(0, 7, 70)
                         .NoteOn(0, 0, 40)      // channel 1 has no role
                         .NoteOn(0, 9, 36)
                         .NoteOn(1, 9, 38, 0)   // rhythm: velocity 0 and note-off are dropped
                         .NoteOff(1, 9, 36)
                         .NoteOn(1, 5, 60, 0)   // melody keeps a velocity-0 note-on
                         .NoteOff(0, 2, 50)
                         .End()
                         .File();
  uint8_t remap[16];
  std::memset(remap, 0xFF, sizeof remap);
  remap[0] = 5;
  remap[1] = 2;
  remap[3] = 7;
  remap[9] = 9;
  tcv.initial(0, 0);
  tcv.setChannelRemap(remap);
  ASSERT_EQ(tcv.scan(midi.data(), static_cast<int32_t>(midi.size())), 1);
  const Bytes r = ToRingtone(tcv, midi);
  EXPECT_EQ(ToHex(TrackEvents(r)),
            "00 C0 0A 00 C1 14 00 90 3C 64 00 91 32 64 00 93 46 64 00 99 24 64 03 90 3C 00 00 81 32 00 FF 2F 00");
  EXPECT_EQ(tcv.getError(), TCV_ERROR_DROPPED_NOTES) << "a warning; the ringtone is complete";
  EXPECT_EQ(GetInfo(tcv).U32(280), 1u);
  EXPECT_EQ(ToHex(Block(r, 0x0205)), "0A 14 00 00") << "in role order; role 3 has no source";

  // A source channel named by two roles goes to the first.
  remap[1] = 5;
  tcv.initial(0, 0);
  tcv.setChannelRemap(remap);
  const Bytes two = SmfBuilder(24).NoteOn(0, 5, 60).End().File();
  ASSERT_EQ(tcv.scan(two.data(), static_cast<int32_t>(two.size())), 1);
  EXPECT_EQ(ToHex(TrackEvents(ToRingtone(tcv, two))), "00 90 3C 64 00 FF 2F 00");
  EXPECT_EQ(tcv.getError(), 0);
}

TEST(TcvConvert, InitialProgramBlockNeedsAProgramChangeOnAMelodySource) {
  const TcvApi& tcv = Module();
  struct Case {
    const char* name;
    Bytes midi;
    const char* block;  // empty: absent
  } cases[] = {
      {"notes only", SmfBuilder().NoteOn(0, 0, 60).End().File(), ""},
      {"program after a note", SmfBuilder().NoteOn(0, 1, 60).Program(0, 1, 9).End().File(), ""},
      {"rhythm program only", SmfBuilder().Program(0, 9, 16).End().File(), ""},
      {"melody programs", SmfBuilder().Program(0, 3, 33).Program(0, 1, 9).NoteOn(0, 0, 60).End().File(), "00 09 00 21"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes r = FreshRingtone(tcv, c.midi);
    EXPECT_EQ(ToHex(Block(r, 0x0205)), c.block);
    EXPECT_EQ(Directory(r)[13].tag, 0x0205);
    if (!*c.block) {
      EXPECT_EQ(Directory(r)[13], (DirEntry{0x0205, 0, 0}));
    }
  }
}

TEST(TcvConvert, TempoBlockAndPlayTime) {
  const TcvApi& tcv = Module();
  struct Case {
    const char* name;
    Bytes midi;
    const char* tempoBlock;
    uint32_t playTimeMs;
  } cases[] = {
      {"no tempo: 120 bpm", SmfBuilder(96).NoteOn(0, 0, 60).NoteOff(384, 0, 60).End().File(), "00 78", 2000},
      {"tempo 0 plays as 120 bpm", SmfBuilder(96).Tempo(0, 0).NoteOn(0, 0, 60).NoteOff(384, 0, 60).End().File(), "00 78", 2000},
      {"100 bpm", SmfBuilder(96).Tempo(0, 600000).NoteOn(0, 0, 60).NoteOff(384, 0, 60).End().File(), "00 64", 2400},
      {"faster halfway", SmfBuilder(96).Tempo(0, 500000).NoteOn(0, 0, 60).Tempo(192, 250000).NoteOff(192, 0, 60).End().File(),
       "00 78", 1500},
      {"ten minutes in one delta", SmfBuilder(96).NoteOn(0, 0, 60).NoteOff(115200, 0, 60).End().File(), "00 78", 600000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes r = FreshRingtone(tcv, c.midi);
    EXPECT_EQ(ToHex(Block(r, 0x0202)), c.tempoBlock);
    EXPECT_EQ(BE32(Block(r, 0x0280), 0), c.playTimeMs);
    EXPECT_EQ(GetInfo(tcv).U32(0), c.playTimeMs);
  }
  // Tempo events stay in the track, and a status byte follows each one again.
  EXPECT_EQ(ToHex(Events(SmfBuilder(24).NoteOn(0, 0, 60).Tempo(24, 400000).NoteOn(0, 0, 62).End().File())),
            "00 90 3C 64 18 FF 51 03 06 1A 80 00 90 3E 64 00 FF 2F 00");
}

TEST(TcvConvert, OverlongDeltaIsClampedAndTheRestCarried) {
  const TcvApi& tcv = Module();
  // At 24 ticks per quarter output ticks equal source ticks.
  const Bytes midi = SmfBuilder(24)
                         .NoteOn(0, 0, 60)
                         .Control(0x0FFFFFFF, 0, 10, 0)
                         .NoteOff(0x0FFFFFFF, 0, 60)
                         .NoteOn(5, 0, 62)
                         .End()
                         .File();
  EXPECT_EQ(ToHex(TrackEvents(FreshRingtone(tcv, midi))),
            "00 90 3C 64 FF FF FF 7F 80 3C FF FF FF 7F 90 3E 64 05 FF 2F 00");
  EXPECT_EQ(GetInfo(tcv).U32(0), 0xFFFFFFFFu) << "play time beyond 32 bits saturates";
}

TEST(TcvConvert, EmptyTextsLeaveTheirEntriesEmpty) {
  const TcvApi& tcv = Module();
  const Bytes midi = SmfBuilder().NoteOn(0, 0, 60).End().File();
  Bytes r = FreshRingtone(tcv, midi);
  for (size_t i = 22; i < 30; ++i) EXPECT_EQ(Directory(r)[i], (DirEntry{static_cast<uint16_t>(0x02C0 + i - 22), 0, 0}));
  tcv.initial(0, 0);
  tcv.setGenre("Pop");
  ASSERT_EQ(tcv.scan(midi.data(), static_cast<int32_t>(midi.size())), 1);
  r = ToRingtone(tcv, midi);
  const Bytes genre = Block(r, 0x02C2);
  EXPECT_EQ(std::string(genre.begin(), genre.end()), "Pop");
  EXPECT_EQ(Directory(r)[22], (DirEntry{0x02C0, 0, 0}));
}

TEST(TcvConvert, TheTrackAlwaysEndsWithEndOfTrack) {
  const TcvApi& tcv = Module();
  // The file just ends after a note.
  const Bytes noEnd = SmfBuilder(24).NoteOn(0, 0, 60).File();
  EXPECT_EQ(ToHex(Events(noEnd)), "00 90 3C 64 00 FF 2F 00");
  EXPECT_EQ(GetInfo(tcv).U32(260), 1u);
  // A delta with nothing after it (refused by the scan, converted anyway).
  const Bytes afterDelta = SmfBuilder(24).NoteOn(0, 0, 60).Raw(7, {}).File();
  tcv.initial(0, 0);
  EXPECT_EQ(ToHex(TrackEvents(ToRingtone(tcv, afterDelta))), "00 90 3C 64 00 FF 2F 00");
}

TEST(TcvConvert, WithoutAScanTheDivisionIsZeroAndEveryDeltaZero) {
  const TcvApi& tcv = Module();
  tcv.initial(0, 0);
  const Bytes midi = SmfBuilder(96).NoteOn(0, 0, 60).NoteOff(96, 0, 60).NoteOn(300, 0, 62).End(50).File();
  EXPECT_EQ(ToHex(TrackEvents(ToRingtone(tcv, midi))), "00 90 3C 64 00 80 3C 00 90 3E 64 00 FF 2F 00");
}

}  // namespace
}  // namespace tcvtest
