// Both conversions: a MIDI file to a ringtone of exactly the size announced,
// the ringtone's polyphony test, and the ringtone back to a MIDI file that
// the scan takes again.
#include "FuzzSupport.h"
#include "converter/Converter.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tcv::Converter converter;
  converter.Initial();
  if (!converter.ScanSmf(data, size)) return 0;
  const size_t need = converter.RingtoneSize(data, size);
  if (need == 0 || need > (16u << 20)) return 0;
  std::vector<uint8_t> ringtone(need);
  uint8_t* end = converter.ConvertToRingtone(data, size, ringtone.data());
  if (!end) return 0;
  QV_FUZZ_CHECK(end >= ringtone.data() && end <= ringtone.data() + ringtone.size());
  QV_FUZZ_CHECK(static_cast<size_t>(end - ringtone.data()) == need);
  converter.TestPolyphony(ringtone.data());
  std::vector<uint8_t> midi(converter.PseudoFileSize());
  if (midi.empty()) return 0;
  uint8_t* midiEnd = converter.ConvertToMidi(ringtone.data(), midi.data());
  if (!midiEnd) return 0;
  QV_FUZZ_CHECK(midiEnd > midi.data() && midiEnd <= midi.data() + midi.size());
  tcv::Converter again;
  again.Initial();
  QV_FUZZ_CHECK(again.ScanSmf(midi.data(), static_cast<size_t>(midiEnd - midi.data())));
  return 0;
}
