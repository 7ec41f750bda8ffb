// The polyphony test and the conversion back to a standard MIDI file.
#include "TcvTestApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace tcvtest {
namespace {

// Starts count notes on channel ch at the current time.
SmfBuilder& Chord(SmfBuilder& b, int ch, int first, int count, uint32_t delta = 0) {
  for (int i = 0; i < count; ++i) b.NoteOn(i == 0 ? delta : 0, ch, first + i);
  return b;
}

TEST(TcvPolyphony, AllowsAtMostTwelveVoices) {
  const TcvApi& tcv = Module();
  struct Case {
    const char* name;
    SmfBuilder song;
    bool passes;
  } cases[] = {
      {"three channels of four and a rhythm note: 13",
       [] {
         SmfBuilder b;
         for (int c = 0; c < 3; ++c) Chord(b.Program(0, c, 0), c, 60, 4);
         return b.NoteOn(0, 9, 36);
       }(),
       false},
      {"six notes of a two-voice program: 12", [] { SmfBuilder b; return Chord(b.Program(0, 0, 2), 0, 60, 6); }(), true},
      {"seven notes of a two-voice program: 14", [] { SmfBuilder b; return Chord(b.Program(0, 0, 2), 0, 60, 7); }(), false},
      {"13 notes on a channel without program change", [] { SmfBuilder b; return Chord(b, 0, 50, 13); }(), false},
      {"12 notes, one released, one more",
       [] {
         SmfBuilder b;
         return Chord(b.Program(0, 0, 0), 0, 50, 12).NoteOff(10, 0, 50).NoteOn(0, 0, 70);
       }(),
       true},
      {"a velocity-0 note-on releases too",
       [] {
         SmfBuilder b;
         return Chord(b.Program(0, 0, 0), 0, 50, 12).NoteOn(10, 0, 51, 0).NoteOn(0, 0, 70);
       }(),
       true},
      {"rhythm voices last one tick",
       [] {
         SmfBuilder b;
         return Chord(b.Program(0, 0, 0), 0, 50, 11).NoteOn(0, 9, 36).NoteOn(4, 9, 38).NoteOn(4, 9, 40);
       }(),
       true},
      {"every rhythm note of a tick counts",
       [] {
         SmfBuilder b;
         return Chord(b.Program(0, 0, 0), 0, 50, 11).NoteOn(0, 9, 36).NoteOn(0, 9, 38);
       }(),
       false},
      {"sounding notes keep their weight across a program change",
       [] {
         SmfBuilder b;
         return Chord(Chord(b.Program(0, 0, 0), 0, 40, 6).Program(4, 0, 2), 0, 60, 3);
       }(),
       true},
      {"two-voice notes after the change count two",
       [] {
         SmfBuilder b;
         return Chord(Chord(b.Program(0, 0, 0), 0, 40, 6).Program(4, 0, 2), 0, 60, 4);
       }(),
       false},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes r = FreshRingtone(tcv, c.song.End(96).File());
    EXPECT_EQ(tcv.testPoly(r.data()), c.passes ? 1 : 0);
    EXPECT_EQ(tcv.getError(), c.passes ? 0 : TCV_ERROR_POLYPHONY);
  }
}

TEST(TcvPolyphony, RefusesWhatIsNotARingtone) {
  const TcvApi& tcv = Module();
  tcv.initial(0, 0);
  Bytes notRingtone(600);
  for (size_t i = 0; i < notRingtone.size(); ++i) notRingtone[i] = static_cast<uint8_t>(i * 31);
  EXPECT_EQ(tcv.testPoly(notRingtone.data()), 0);
  EXPECT_EQ(tcv.getError(), TCV_ERROR_NOT_RINGTONE);
  Bytes dest(1024);
  tcv.initial(0, 0);
  EXPECT_EQ(tcv.toSmf(notRingtone.data(), dest.data()), nullptr);
  EXPECT_EQ(tcv.getError(), TCV_ERROR_NOT_RINGTONE);
}

Bytes RichSong() {
  return SmfBuilder(96)
      .Tempo(0, 500000)
      .Program(0, 0, 0)
      .Program(0, 1, 33)
      .Control(0, 0, 7, 100)
      .NoteOn(0, 0, 60, 90)
      .NoteOn(0, 1, 40, 80)
      .NoteOn(48, 9, 36, 127)
      .Raw(48, {0xE0, 0x11, 0x48})
      .NoteOff(0, 0, 60, 10)
      .Tempo(96, 400000)
      .NoteOn(0, 0, 24)
      .NoteOff(96, 0, 24)
      .NoteOff(0, 1, 40)
      .End()
      .File();
}

TEST(TcvReverse, GivesAValidMidiFileOfWhatTheRingtoneHolds) {
  const TcvApi& tcv = Module();
  const Bytes ringtone = FreshRingtone(tcv, RichSong());
  const Bytes midi = ToMidi(tcv, ringtone);
  const MidiFile m = ParseSmf(midi);
  ASSERT_TRUE(m.ok) << m.error;
  EXPECT_EQ(m.format, 0);
  EXPECT_EQ(m.tracks, 1);
  EXPECT_EQ(m.division, 24);
  const std::vector<MidiEvent> expected = {
      {0, 0xFF, {0x51, 0x07, 0xA1, 0x20}},
      {0, 0xC0, {0}},
      {0, 0xC1, {33}},
      {0, 0xB0, {7, 100}},
      {0, 0x90, {60, 90}},
      {0, 0x91, {40, 80}},
      {12, 0x99, {36, 127}},
      {24, 0xE0, {0x00, 0x48}},  // the low byte comes back as 0
      {24, 0x80, {60, 0x40}},    // and the note-off velocity as 64
      {48, 0xFF, {0x51, 0x06, 0x1A, 0x80}},
      {48, 0x90, {36, 100}},     // note 24 folded into program 0's range
      {72, 0x80, {36, 0x40}},
      {72, 0x81, {40, 0x40}},
      {72, 0xFF, {0x2F}},
  };
  EXPECT_EQ(m.events, expected);

  // Converting the preview again gives the same ringtone track.
  EXPECT_EQ(ToHex(TrackEvents(FreshRingtone(tcv, midi))), ToHex(TrackEvents(ringtone)));
}

TEST(TcvReverse, SearchingForTheTrackGivesTheSameFile) {
  const TcvApi& tcv = Module();
  const Bytes ringtone = FreshRingtone(tcv, RichSong());
  const Bytes recorded = ToMidi(tcv, ringtone);

  tcv.initial(0, 0);
  EXPECT_EQ(tcv.pseudoSize(), 22) << "nothing known of any track yet";
  Bytes small(22);
  EXPECT_EQ(tcv.toSmf(ringtone.data(), small.data()), nullptr) << "the track needs more than the caller was told";
  EXPECT_EQ(tcv.getError(), 0);
  EXPECT_EQ(tcv.pseudoSize(), static_cast<int32_t>(recorded.size())) << "now it reports what the track needs";
  EXPECT_EQ(ToMidi(tcv, ringtone), recorded);

  tcv.initial(0, 0);
  EXPECT_EQ(tcv.testPoly(ringtone.data()), 1);
  EXPECT_EQ(tcv.pseudoSize(), static_cast<int32_t>(recorded.size())) << "the polyphony test located it as well";
  EXPECT_EQ(ToMidi(tcv, ringtone), recorded);
}


// The same ringtone with its blocks laid out back to back in another order,
// as other software may write it; a block's bytes may be replaced.
Bytes Relaid(const Bytes& r, const std::vector<uint16_t>& order, uint16_t replaced = 0, const Bytes& with = {}) {
  const std::vector<DirEntry> dir = Directory(r);
  Bytes out(r.begin(), r.begin() + 314);
  std::vector<DirEntry> placed = dir;
  for (uint16_t tag : order) {
    const Bytes bytes = tag == replaced ? with : Block(r, tag);
    for (DirEntry& e : placed)
      if (e.tag == tag) e = {tag, static_cast<uint32_t>(out.size()), static_cast<uint32_t>(bytes.size())};
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  for (size_t i = 0; i < placed.size(); ++i) {
    Bytes entry;
    AppendBE(entry, placed[i].tag, 2);
    AppendBE(entry, placed[i].offset, 4);
    AppendBE(entry, placed[i].size, 4);
    std::copy(entry.begin(), entry.end(), out.begin() + static_cast<long>(4 + 10 * i));
  }
  return out;
}

TEST(TcvReverse, FindsTheTrackOfARingtoneLaidOutOtherwise) {
  const TcvApi& tcv = Module();
  const Bytes song = RichSong();
  tcv.initial(0, 0);
  ASSERT_EQ(tcv.scan(song.data(), static_cast<int32_t>(song.size())), 1);
  tcv.setTitle("Rich");
  const Bytes ringtone = ToRingtone(tcv, song);
  const Bytes recorded = ToMidi(tcv, ringtone);
  std::vector<DirEntry> present;  // the blocks, in the order this module writes them
  for (const DirEntry& e : Directory(ringtone))
    if (e.size) present.push_back(e);
  std::sort(present.begin(), present.end(), [](const DirEntry& a, const DirEntry& b) { return a.offset < b.offset; });
  std::vector<uint16_t> tags;
  for (const DirEntry& e : present) tags.push_back(e.tag);
  ASSERT_EQ(tags.back(), 0x0240);
  auto moved = [&](size_t to) {  // the track moved to position to
    std::vector<uint16_t> order(tags.begin(), tags.end() - 1);
    order.insert(order.begin() + static_cast<long>(to), 0x0240);
    return order;
  };
  std::vector<uint16_t> fixedLast(tags.begin() + 3, tags.end());
  fixedLast.insert(fixedLast.end(), tags.begin(), tags.begin() + 3);
  const std::string longTitle(60, 'T');

  struct Case {
    const char* name;
    Bytes file;
  } cases[] = {
      {"the track right after the fixed blocks", Relaid(ringtone, moved(3))},
      {"the track among the song data", Relaid(ringtone, moved(9))},
      {"the fixed blocks last", Relaid(ringtone, fixedLast)},
      {"a title of 60 bytes", Relaid(ringtone, tags, 0x02C0, Bytes(longTitle.begin(), longTitle.end()))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tcv.initial(0, 0);
    EXPECT_EQ(tcv.testPoly(c.file.data()), 1);
    EXPECT_EQ(tcv.getError(), 0);
    EXPECT_EQ(tcv.pseudoSize(), static_cast<int32_t>(recorded.size())) << "the size of what the track needs";
    tcv.initial(0, 0);
    Bytes small(22);
    EXPECT_EQ(tcv.toSmf(c.file.data(), small.data()), nullptr) << "the caller was not told the size yet";
    EXPECT_EQ(tcv.getError(), 0);
    if (tcv.pseudoSize() == static_cast<int32_t>(recorded.size())) {
      EXPECT_EQ(ToMidi(tcv, c.file), recorded);
    }
  }
}

}  // namespace
}  // namespace tcvtest
