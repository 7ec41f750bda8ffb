// A ringtone file from elsewhere, as whole as its directory says: the
// reader's polyphony test and its conversion back to a MIDI file that the
// scan takes again.
#include "FuzzSupport.h"
#include "converter/Converter.h"
#include "converter/Ringtone.h"
#include "converter/SmfReader.h"

#include <vector>

namespace {

uint32_t BE32(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]; }

constexpr size_t kDirectoryEnd = tcv::kDirectoryOffset + tcv::kDirectoryEntries * tcv::kEntrySize;

// The bytes the directory claims: the caller of the module passes whole
// files, so the file is padded to that end (or refused when it is huge).
// The file holds the whole directory.
size_t ClaimedEnd(const std::vector<uint8_t>& file) {
  size_t end = kDirectoryEnd;
  for (size_t i = 0; i < tcv::kDirectoryEntries; ++i) {
    const uint8_t* e = file.data() + tcv::kDirectoryOffset + i * tcv::kEntrySize;
    end = std::max<size_t>(end, size_t{BE32(e + 2)} + BE32(e + 6));
  }
  return end;
}

// Whether the first tempo, time and key signature of a MIDI file each hold
// the bytes of their kind. A ringtone from elsewhere may carry a shorter
// one; the conversion keeps it as it is and the scan refuses such a file.
bool WholeSignatures(const uint8_t* midi, size_t size) {
  tcv::SmfTrackReader reader(tcv::SmfTrackEvents(midi, size));
  bool tempo = false, time = false, key = false;
  for (tcv::SmfEvent ev; reader.Next(ev) == tcv::SmfRead::Event;) {
    if (ev.kind != tcv::SmfEvent::Kind::Meta) continue;
    auto first = [&ev](bool& took, uint32_t n) {
      const bool whole = took || ev.payloadLength >= n;
      took = true;
      return whole;
    };
    if (ev.metaType == 0x2F) break;
    if (ev.metaType == 0x51 && !first(tempo, 3)) return false;
    if (ev.metaType == 0x58 && !first(time, 4)) return false;
    if (ev.metaType == 0x59 && !first(key, 2)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> file(data, data + size);
  // A file cut inside its directory reads as one whose missing entries are empty.
  file.resize(std::max(file.size(), kDirectoryEnd), 0);
  const size_t end = ClaimedEnd(file);
  if (end > (1u << 20)) return 0;
  // Room for the track header the directory points at.
  file.resize(std::max(file.size(), end + 32), 0);
  tcv::Converter converter;
  converter.Initial();
  converter.TestPolyphony(file.data());
  std::vector<uint8_t> midi(converter.PseudoFileSize());
  if (midi.empty()) return 0;
  uint8_t* midiEnd = converter.ConvertToMidi(file.data(), midi.data());
  if (!midiEnd) return 0;
  QV_FUZZ_CHECK(midiEnd > midi.data() && midiEnd <= midi.data() + midi.size());
  tcv::Converter again;
  again.Initial();
  const bool scanned = again.ScanSmf(midi.data(), static_cast<size_t>(midiEnd - midi.data()));
  QV_FUZZ_ROUND_TRIP(scanned || !WholeSignatures(midi.data(), static_cast<size_t>(midiEnd - midi.data())));
  return 0;
}
