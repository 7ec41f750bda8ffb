// The MIDI file scan: which files it accepts and what it gathers.
#include "TcvTestApi.h"

#include <gtest/gtest.h>

namespace tcvtest {
namespace {

int32_t Scan(const TcvApi& tcv, const Bytes& midi) { return tcv.scan(midi.data(), static_cast<int32_t>(midi.size())); }

Bytes InitialPrograms(const TcvApi& tcv) {
  uint8_t p[16];
  tcv.getInitVoice(p);
  return Bytes(p, p + 16);
}

Bytes UsedVoice(const TcvApi& tcv) {
  uint8_t t[128];
  tcv.getUsedVoice(t);
  return Bytes(t, t + 128);
}

TEST(TcvScan, GathersSongDataAndInitialPrograms) {
  const TcvApi& tcv = Module();
  const Bytes midi = SmfBuilder(480)
                         .Meta(0, 0x03, "First Song")
                         .Meta(0, 0x02, "(c) Quorvel")
                         .Meta(0, 0x58, "\x03\x02\x18\x08")
                         .Meta(0, 0x59, std::string("\xFF\x00", 2))  // F major: one flat
                         .Meta(0, 0x51, "\x07\xA1\x20")
                         .Meta(0, 0x03, "Second Name")
                         .Meta(96, 0x58, "\x06\x08\x0C\x08")  // a later time signature change
                         .Meta(0, 0x51, "\x03\x0D\x40")
                         .Program(0, 0, 5)            // program first
                         .NoteOn(0, 0, 60)
                         .NoteOn(0, 3, 62)            // note first: program 0 ...
                         .Program(10, 3, 7)           // ... even with a program change later
                         .Control(0, 1, 7, 100)       // controller, then program
                         .Program(0, 1, 10)
                         .Control(0, 2, 7, 90)        // controller only
                         .Raw(0, {0xE4, 0x00, 0x40})  // pitch bend, then a note
                         .NoteOn(0, 4, 50)
                         .Program(0, 5, 10)           // program 10 selected again, on channel 5
                         .Program(0, 9, 0)
                         .NoteOn(0, 9, 36)
                         .End()
                         .File();
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, midi), 1);

  const Info info = GetInfo(tcv);
  EXPECT_EQ(info.U32(4), 0u);
  EXPECT_EQ(info.U32(8), 480u);
  EXPECT_EQ(info.U32(16), 0u) << "the flag is cleared by a scan";
  EXPECT_EQ(info.Range(20, 4), (Bytes{3, 2, 0x18, 8}));
  EXPECT_EQ(info.Range(25, 2), (Bytes{0xFF, 0x00}));
  EXPECT_EQ(info.Range(28, 3), (Bytes{0x07, 0xA1, 0x20})) << "first tempo only";
  char title[41], copyright[21];
  tcv.getTitle(title);
  tcv.getCopyright(copyright);
  EXPECT_STREQ(title, "First Song");
  EXPECT_STREQ(copyright, "(c) Quorvel");

  const Bytes programs = InitialPrograms(tcv);
  const uint8_t expected[16] = {5, 10, 0, 0, 0, 10, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(programs, Bytes(expected, expected + 16));
  const uint32_t programSet[16] = {1, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0};
  for (int c = 0; c < 16; ++c) EXPECT_EQ(info.U32(284 + 4 * c), programSet[c]) << "channel " << c;

  Bytes used(128, 0);
  used[5] = 0;
  used[7] = 3;
  used[10] = 5;  // the last channel that selected it
  used[0] = 9;
  EXPECT_EQ(UsedVoice(tcv), used);
}

TEST(TcvScan, RefusesUnsupportedAndDamagedFiles) {
  const TcvApi& tcv = Module();
  const SmfBuilder song = SmfBuilder().Program(0, 0, 1).NoteOn(0, 0, 60).NoteOff(96, 0, 60).End();
  const Bytes good = song.File();
  auto with = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    Bytes b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
    return b;
  };
  auto cut = [&](size_t n) { return Bytes(good.begin(), good.begin() + static_cast<long>(n)); };
  // The events end inside a note: the track length matches the bytes there are.
  Bytes insideNote = SmfBuilder().Program(0, 0, 1).Raw(0, {0x90, 0x3C}).File();
  Bytes afterDelta = SmfBuilder().Program(0, 0, 1).Raw(0, {}).File();
  Bytes shortMeta = SmfBuilder().Raw(0, {0xFF, 0x03, 0x0A, 'a', 'b', 'c'}).File();
  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"format 1", SmfBuilder(96, 1, 1).End().File()},
      {"two tracks", SmfBuilder(96, 0, 2).End().File()},
      {"not a MIDI file", with(0, {'R', 'I', 'F', 'F'})},
      {"header length 7", with(7, {7})},
      {"MTrk missing", with(14, {'X', 'T', 'r', 'k'})},
      {"empty", {}},
      {"14 bytes", cut(14)},
      {"19 bytes", cut(19)},
      {"21 bytes: track length cut", cut(21)},
      {"file cut inside the track", cut(good.size() - 2)},
      {"events end inside a note", insideNote},
      {"events end after a delta time", afterDelta},
      {"meta event longer than the track", shortMeta},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tcv.initial(0, 0);
    EXPECT_EQ(Scan(tcv, c.file), 0);
  }
  tcv.initial(0, 0);
  EXPECT_EQ(Scan(tcv, good), 1) << "the undamaged file is accepted";
}

// Everything the scan leaves behind: the info block and the used voices.
Bytes ScanResult(const TcvApi& tcv) {
  const Info info = GetInfo(tcv);
  Bytes r(info.raw, info.raw + TCV_INFO_SIZE);
  const Bytes used = UsedVoice(tcv);
  r.insert(r.end(), used.begin(), used.end());
  return r;
}

TEST(TcvScan, ReadsTheTrackWhateverItsLengthFieldSays) {
  const TcvApi& tcv = Module();
  const SmfBuilder song = SmfBuilder(96)
                              .Meta(0, 0x03, "Whole")
                              .Program(0, 0, 5)
                              .NoteOn(0, 0, 60)
                              .Tempo(10, 400000)
                              .Program(0, 1, 7)
                              .NoteOff(96, 0, 60)
                              .End();
  const Bytes truthful = song.File();
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, truthful), 1);
  const Bytes scanned = ScanResult(tcv);
  const Bytes events = TrackEvents(FreshRingtone(tcv, truthful));
  const size_t tempoAt = 9 + 4 + 3;  // the title, the program change and the note come first
  ASSERT_EQ(song.TrackBytes()[tempoAt + 1], 0xFF);

  SmfBuilder open = SmfBuilder(96).Meta(0, 0x03, "Whole").Program(0, 0, 5).NoteOn(0, 0, 60).Tempo(10, 400000);
  open.Program(0, 1, 7).NoteOff(96, 0, 60);  // the data ends without an end-of-track event
  const Bytes openEnded = open.File(0);
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, open.File()), 1);
  const Bytes openScanned = ScanResult(tcv);

  struct Case {
    const char* name;
    Bytes file;
    int32_t accepted;
  } cases[] = {
      {"length 0", song.File(0), 1},
      {"length 3, inside the first event", song.File(3), 1},
      {"length up to the tempo", song.File(static_cast<int64_t>(tempoAt)), 1},
      {"length one past the end", song.File(static_cast<int64_t>(song.TrackBytes().size()) + 1), 1},
      {"length FFFFFFFF", song.File(0xFFFFFFFF), 1},
      {"length 0, no end-of-track event", openEnded, 1},
      {"length 0 and a note cut short", SmfBuilder().Program(0, 0, 1).Raw(0, {0x90, 0x3C}).File(0), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tcv.initial(0, 0);
    const int32_t result = Scan(tcv, c.file);
    EXPECT_EQ(result, c.accepted);
    if (!result || !c.accepted) continue;
    const bool open = c.file == openEnded;
    EXPECT_EQ(ToHex(ScanResult(tcv)), ToHex(open ? openScanned : scanned));
    if (!open) {
      EXPECT_EQ(ToHex(TrackEvents(FreshRingtone(tcv, c.file))), ToHex(events));
    }
  }
}

TEST(TcvScan, ReadsNothingAfterTheEndOfTrackEvent) {
  const TcvApi& tcv = Module();
  Bytes midi = SmfBuilder().Program(0, 0, 3).End().File();
  const Bytes after = {0x00, 0xC1, 0x09, 0x00, 0x90, 0x3C};  // a program change, then a note cut short
  midi.insert(midi.end(), after.begin(), after.end());
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, midi), 1);
  const Bytes programs = InitialPrograms(tcv);
  EXPECT_EQ(programs[0], 3);
  EXPECT_EQ(programs[1], 0xFF);
  EXPECT_EQ(ToHex(TrackEvents(FreshRingtone(tcv, midi))), "00 C0 03 00 FF 2F 00");
}

TEST(TcvScan, SignaturesAndTempoComeFromTheirFirstOccurrence) {
  const TcvApi& tcv = Module();
  // A first occurrence with fewer bytes than its kind has refuses the file:
  // taking the later one instead would give the song a key, metre or speed
  // it does not start with.
  const std::string key(std::string("\x02\x01", 2)), time("\x06\x08\x0C\x08"), tempo("\x07\xA1\x20");
  struct Case {
    const char* name;
    SmfBuilder song;
  } cases[] = {
      {"key signature of one byte, then a whole one", SmfBuilder().Meta(0, 0x59, key.substr(0, 1)).Meta(0, 0x59, key)},
      {"key signature of one byte alone", SmfBuilder().Meta(0, 0x59, key.substr(0, 1))},
      {"time signature of three bytes, then a whole one",
       SmfBuilder().Meta(0, 0x58, time.substr(0, 3)).Meta(10, 0x58, time)},
      {"tempo of two bytes, then a whole one", SmfBuilder().Meta(0, 0x51, tempo.substr(0, 2)).Meta(0, 0x51, tempo)},
      {"tempo of no bytes, then a whole one", SmfBuilder().Meta(0, 0x51, "").NoteOn(0, 0, 60).Meta(10, 0x51, tempo)},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    tcv.initial(0, 0);
    EXPECT_EQ(Scan(tcv, c.song.NoteOn(0, 0, 60).End(96).File()), 0);
  }
}

TEST(TcvScan, AcceptsSmpteDivision) {
  const TcvApi& tcv = Module();
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, SmfBuilder(0xE728).NoteOn(0, 0, 60).End().File()), 1);
  const Info info = GetInfo(tcv);
  EXPECT_EQ(info.U32(4), 1u);
  EXPECT_EQ(info.U32(8), 0x6728u);
}

TEST(TcvScan, ReadsRunningStatusAndSkipsADataByteBeforeAnyStatus) {
  const TcvApi& tcv = Module();
  const Bytes midi = SmfBuilder()
                         .Raw(0, {0x3C})          // stray data byte, no status yet
                         .Raw(0, {0xC2, 0x05})    // program 5 on channel 2
                         .Raw(0, {0x07})          // running status: program 7 on channel 2
                         .Raw(0, {0x91, 0x40, 0x50})
                         .Raw(0, {0x41, 0x50})    // running status note-on
                         .Raw(0, {0xC1, 0x09})    // after a note: not the initial program
                         .End()
                         .File();
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, midi), 1);
  const Bytes programs = InitialPrograms(tcv);
  EXPECT_EQ(programs[2], 5);
  EXPECT_EQ(programs[1], 0);
  const Bytes used = UsedVoice(tcv);
  EXPECT_EQ(used[5], 2);
  EXPECT_EQ(used[7], 2);
  EXPECT_EQ(used[9], 1);
}

TEST(TcvScan, CutsTitleAt40AndCopyrightAt20Bytes) {
  const TcvApi& tcv = Module();
  const std::string name50(50, 'T');
  // 39 bytes and a double-byte character that would straddle the limit.
  const std::string straddling = std::string(19, 'C') + "\x83\x41" + "tail";
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, SmfBuilder().Meta(0, 3, name50).Meta(0, 2, straddling).End().File()), 1);
  char title[41], copyright[21];
  tcv.getTitle(title);
  tcv.getCopyright(copyright);
  EXPECT_EQ(std::string(title), std::string(40, 'T'));
  EXPECT_EQ(std::string(copyright), std::string(19, 'C'));
}

TEST(TcvScan, LongMetaEventsAreSteppedOverWhole) {
  const TcvApi& tcv = Module();
  // A 200-byte lyric has a two-byte length; the program change after it must be seen.
  const Bytes midi = SmfBuilder().Meta(0, 0x05, std::string(200, '\xC0')).Program(0, 0, 42).End().File();
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, midi), 1);
  const Bytes programs = InitialPrograms(tcv);
  EXPECT_EQ(programs[0], 42);
}

TEST(TcvScan, ADeltaTimeLongerThanFourBytesEndsTheWalk) {
  const TcvApi& tcv = Module();
  Bytes midi = SmfBuilder().Program(0, 0, 3).File();
  const Bytes tail = {0x81, 0x80, 0x80, 0x80, 0x00, 0xC1, 0x04, 0x00, 0xFF, 0x2F, 0x00};
  midi.insert(midi.end(), tail.begin(), tail.end());
  midi[21] = static_cast<uint8_t>(midi.size() - 22);
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, midi), 1);
  const Bytes programs = InitialPrograms(tcv);
  EXPECT_EQ(programs[0], 3);
  EXPECT_EQ(programs[1], 0xFF) << "nothing after the bad delta is read";
}

TEST(TcvScan, LaterScanKeepsEarlierSongTextsButResetsProgramsAndKey) {
  const TcvApi& tcv = Module();
  tcv.initial(0, 0);
  ASSERT_EQ(Scan(tcv, SmfBuilder()
                          .Meta(0, 3, "Old")
                          .Meta(0, 0x58, "\x06\x03\x18\x08")
                          .Meta(0, 0x59, std::string("\x02\x01", 2))
                          .Tempo(0, 400000)
                          .Program(0, 0, 20)
                          .End()
                          .File()),
            1);
  ASSERT_EQ(Scan(tcv, SmfBuilder().Program(0, 1, 30).End().File()), 1);
  const Info info = GetInfo(tcv);
  EXPECT_EQ(info.Text(32, 41), "Old");
  EXPECT_EQ(info.Range(20, 4), (Bytes{6, 3, 0x18, 8}));
  EXPECT_EQ(info.Range(28, 3), (Bytes{0x06, 0x1A, 0x80}));
  EXPECT_EQ(info.Range(25, 2), (Bytes{0xFF, 0xFF})) << "key signature is per scan";
  const Bytes programs = InitialPrograms(tcv);
  EXPECT_EQ(programs[0], 0xFF);
  EXPECT_EQ(programs[1], 30);
  EXPECT_EQ(UsedVoice(tcv)[20], 0);
  EXPECT_EQ(UsedVoice(tcv)[30], 1);
}

}  // namespace
}  // namespace tcvtest
