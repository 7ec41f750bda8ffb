// Damaged and hostile input, with the converter's sources built into this
// test under AddressSanitizer and UndefinedBehaviorSanitizer. Every buffer
// handed to the converter is a heap block of exactly its size, so a single
// byte read or written past it stops the test. QV_TCV_FUZZ_ITERATIONS sets
// the number of inputs per test (a short run by default).
#include "TcvTestApi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>

namespace tcvtest {
namespace {

size_t Iterations() {
  const char* v = std::getenv("QV_TCV_FUZZ_ITERATIONS");
  return v && *v ? std::strtoul(v, nullptr, 10) : 20000;
}

// A heap block of exactly n bytes: nothing beyond it is addressable.
class Exact {
 public:
  explicit Exact(size_t n) : p_(new uint8_t[n]), n_(n) {}
  explicit Exact(const Bytes& b) : Exact(b.size()) {
    if (n_) std::memcpy(p_.get(), b.data(), n_);
  }
  uint8_t* data() { return p_.get(); }
  size_t size() const { return n_; }
  Bytes bytes() const { return Bytes(p_.get(), p_.get() + n_); }

 private:
  std::unique_ptr<uint8_t[]> p_;
  size_t n_;
};

// Converts back, as a careful caller does: into the size the converter
// reports, asking again once when it reports that the track needs more.
bool ReverseChecked(const TcvApi& tcv, Exact& ringtone, Bytes* result = nullptr) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    Exact midi(static_cast<size_t>(tcv.pseudoSize()));
    uint8_t* end = tcv.toSmf(ringtone.data(), midi.data());
    if (!end) continue;
    // A damaged track may need less than the size reported for it, never more.
    const size_t written = static_cast<size_t>(end - midi.data());
    EXPECT_LE(written, midi.size());
    const Bytes file(midi.data(), midi.data() + written);
    const MidiFile parsed = ParseSmf(file);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    if (result) *result = file;
    return true;
  }
  return false;
}

// The whole road of a MIDI file: scan, size, convert, polyphony test and
// reverse conversion, by the recorded offset and by searching.
void Pipeline(const Bytes& input, bool scan) {
  const TcvApi& tcv = Module();
  Exact midi(input);
  tcv.initial(0, 0);
  if (scan) tcv.scan(midi.data(), static_cast<int32_t>(midi.size()));
  const int32_t size = tcv.dxmSize(midi.data(), static_cast<int32_t>(midi.size()));
  ASSERT_GE(size, 22 + 332);
  Exact ringtone(static_cast<size_t>(size));
  uint8_t* end = tcv.toDxm(midi.data(), static_cast<int32_t>(midi.size()), ringtone.data());
  ASSERT_EQ(end - ringtone.data(), size);

  tcv.testPoly(ringtone.data());
  ASSERT_NE(tcv.getError(), TCV_ERROR_NOT_RINGTONE) << "the module's own ringtone is always recognised";
  Bytes recorded, searched;
  const size_t reported = static_cast<size_t>(tcv.pseudoSize());
  ASSERT_TRUE(ReverseChecked(tcv, ringtone, &recorded));
  EXPECT_EQ(recorded.size(), reported) << "for its own ringtone the reported size is exact";
  tcv.initial(0, 0);
  ASSERT_TRUE(ReverseChecked(tcv, ringtone, &searched));
  EXPECT_EQ(searched, recorded);
}

std::vector<Bytes> Seeds() {
  return {
      SmfBuilder(96)
          .Meta(0, 3, "Seed")
          .Tempo(0, 450000)
          .Meta(0, 0x58, "\x04\x02\x18\x08")
          .Program(0, 0, 5)
          .Program(0, 9, 0)
          .Control(0, 0, 7, 90)
          .NoteOn(0, 0, 60)
          .Raw(0, {62, 80})
          .NoteOn(24, 9, 36)
          .Raw(24, {0xE0, 0x10, 0x50})
          .Raw(0, {0xF0, 0x03, 0x7E, 0x01, 0xF7})
          .NoteOff(48, 0, 60)
          .Tempo(0, 0)
          .NoteOff(96, 0, 62)
          .End()
          .File(),
      SmfBuilder(480).NoteOn(0, 2, 10).Control(240, 2, 64, 127).NoteOff(0x0FFFFFFF, 2, 10).End().File(),
      SmfBuilder(0xE728).Program(0, 1, 72).NoteOn(0, 1, 120).Meta(5, 0x05, std::string(300, 'x')).File(),
  };
}

TEST(TcvRobustness, EveryPrefixOfAFileIsSafe) {
  for (const Bytes& seed : Seeds()) {
    for (size_t n = 0; n <= seed.size(); ++n) {
      SCOPED_TRACE(n);
      Bytes prefix(seed.begin(), seed.begin() + static_cast<long>(n));
      Pipeline(prefix, true);
      Pipeline(prefix, false);
      // The same bytes with a track length that fits them.
      if (n >= 22) {
        const uint32_t len = static_cast<uint32_t>(n - 22);
        for (int i = 0; i < 4; ++i) prefix[18 + i] = static_cast<uint8_t>(len >> (24 - 8 * i));
        Pipeline(prefix, true);
      }
      if (HasFatalFailure()) return;
    }
  }
}

TEST(TcvRobustness, RandomAndMutatedMidiFilesAreSafe) {
  std::mt19937 rng(20240611);
  const std::vector<Bytes> seeds = Seeds();
  const Bytes header = Hex("4D 54 68 64 00 00 00 06 00 00 00 01 00 60 4D 54 72 6B");
  for (size_t i = 0; i < Iterations(); ++i) {
    Bytes input;
    if (i % 2 == 0) {
      input = seeds[rng() % seeds.size()];
      const int edits = 1 + static_cast<int>(rng() % 8);
      for (int e = 0; e < edits && !input.empty(); ++e) {
        const size_t at = rng() % input.size();
        switch (rng() % 3) {
          case 0: input[at] = static_cast<uint8_t>(rng()); break;
          case 1: input.insert(input.begin() + static_cast<long>(at), static_cast<uint8_t>(rng())); break;
          default: input.erase(input.begin() + static_cast<long>(at)); break;
        }
      }
    } else {
      // A valid header over random events, with a random or fitting track length.
      input = header;
      const size_t n = rng() % 400;
      const uint32_t len = (rng() % 4 == 0) ? static_cast<uint32_t>(rng()) : static_cast<uint32_t>(n);
      AppendBE(input, len, 4);
      for (size_t k = 0; k < n; ++k) input.push_back(static_cast<uint8_t>(rng()));
    }
    SCOPED_TRACE(ToHex(input));
    Pipeline(input, rng() % 4 != 0);
    if (HasFatalFailure()) return;
  }
}

// Puts the events into the ringtone with every size field telling the truth.
Bytes WithEvents(const Bytes& ringtone, const Bytes& events) {
  const uint32_t track = BE32(ringtone, 4 + 14 * 10 + 2);
  const uint32_t sizeBlock = BE32(ringtone, 4 + 16 * 10 + 2);
  Bytes r(ringtone.begin(), ringtone.begin() + track + 22);
  r.insert(r.end(), events.begin(), events.end());
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) r[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  const uint32_t size = static_cast<uint32_t>(events.size() + 22);
  put(track + 18, static_cast<uint32_t>(events.size()));
  put(4 + 14 * 10 + 6, size);
  put(sizeBlock, size);
  return r;
}

TEST(TcvRobustness, DamagedRingtonesAreSafe) {
  const TcvApi& tcv = Module();
  std::mt19937 rng(7);
  std::vector<Bytes> ringtones;
  for (const Bytes& seed : Seeds()) ringtones.push_back(FreshRingtone(tcv, seed));
  for (size_t i = 0; i < Iterations(); ++i) {
    const size_t which = rng() % ringtones.size();
    Bytes r = ringtones[which];
    if (i % 2 == 0) {
      // Random events, cut anywhere, in a truthful structure.
      Bytes events = TrackEvents(r);
      events.resize(rng() % (events.size() + 1));
      const size_t extra = rng() % 64;
      for (size_t k = 0; k < extra; ++k) events.push_back(static_cast<uint8_t>(rng()));
      for (uint8_t& b : events)
        if (rng() % 8 == 0) b = static_cast<uint8_t>(rng());
      r = WithEvents(r, events);
    } else {
      const int edits = 1 + static_cast<int>(rng() % 4);
      for (int e = 0; e < edits; ++e) r[rng() % r.size()] = static_cast<uint8_t>(rng());
    }
    SCOPED_TRACE(ToHex(r));
    for (bool searching : {false, true}) {
      FreshRingtone(tcv, Seeds()[which]);
      if (searching) tcv.initial(0, 0);
      Exact damaged(r);
      tcv.testPoly(damaged.data());
      ReverseChecked(tcv, damaged);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(TcvRobustness, RingtonesWhoseSizesDisagreeWithTheirStructureAreRefused) {
  const TcvApi& tcv = Module();
  const Bytes original = FreshRingtone(tcv, Seeds()[0]);
  const uint32_t track = BE32(original, 4 + 14 * 10 + 2);
  auto addBE32 = [](Bytes& b, size_t at, int32_t delta) {
    const uint32_t v = BE32(b, at) + static_cast<uint32_t>(delta);
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  const size_t ctrkLength = track + 18, trackEntrySize = 4 + 14 * 10 + 6, trackEntryOffset = 4 + 14 * 10 + 2;
  const size_t titleEntrySize = 4 + 22 * 10 + 6;
  const size_t sizeBlock = BE32(original, 4 + 16 * 10 + 2);
  struct Case {
    const char* name;
    std::function<void(Bytes&)> damage;
    bool recordedRefuses, searchRefuses;
  } cases[] = {
      {"CTrk length one more", [&](Bytes& b) { addBE32(b, ctrkLength, 1); }, true, true},
      {"CTrk length one less", [&](Bytes& b) { addBE32(b, ctrkLength, -1); }, true, true},
      {"CTrk length far past the file", [&](Bytes& b) { addBE32(b, ctrkLength, 100000); }, true, true},
      {"track entry size one more", [&](Bytes& b) { addBE32(b, trackEntrySize, 1); }, false, true},
      {"track entry offset moved", [&](Bytes& b) { addBE32(b, trackEntryOffset, 4); }, false, true},
      {"track entry offset past the file", [&](Bytes& b) { addBE32(b, trackEntryOffset, 5000); }, false, true},
      {"track size block differs", [&](Bytes& b) { addBE32(b, sizeBlock, 1); }, false, true},
      {"a block's size grows", [&](Bytes& b) { addBE32(b, titleEntrySize, 1); }, false, true},
      {"CTrk and the track entry both lie", [&](Bytes& b) {
         addBE32(b, ctrkLength, 50);
         addBE32(b, trackEntrySize, 50);
       }, true, true},
      {"no MCDF", [&](Bytes& b) { b[3] = 'X'; }, false, true},
      {"track header damaged", [&](Bytes& b) { b[track + 13] = 48; }, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool searching : {false, true}) {
      SCOPED_TRACE(searching ? "located by searching" : "located by the recorded offset");
      FreshRingtone(tcv, Seeds()[0]);
      if (searching) tcv.initial(0, 0);
      Bytes bytes = original;
      c.damage(bytes);
      Exact damaged(bytes);
      const bool refuses = searching ? c.searchRefuses : c.recordedRefuses;
      EXPECT_EQ(tcv.testPoly(damaged.data()), refuses ? 0 : 1);
      if (refuses) {
        EXPECT_EQ(tcv.getError(), TCV_ERROR_NOT_RINGTONE);
      }
      Exact dest(static_cast<size_t>(tcv.pseudoSize()));
      EXPECT_EQ(tcv.toSmf(damaged.data(), dest.data()) == nullptr, refuses);
    }
  }
}

}  // namespace
}  // namespace tcvtest
