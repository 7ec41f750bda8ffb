// A stand-in converter module whose faults are chosen at build time:
//   QV_STUB_NO_TEST_POLY   lacks tcvTestPoly
//   QV_STUB_SHORT_PSEUDO  reports too small a MIDI size until a reverse
//                         conversion has failed for it, then the true size
//   QV_STUB_NO_MIDI       never converts back (and never asks for more room)
//   QV_STUB_BAD_END       returns end pointers past the caller's buffers
// Otherwise it accepts any "MThd" file with channel 1 programmed as a piano,
// converts it into a fixed 16-byte ringtone and back into a short MIDI file.
#include "abi/TcvApi.h"

#include <cstring>

namespace {

// One note of a second on channel 1.
const uint8_t kMidi[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 24, 'M', 'T', 'r', 'k', 0, 0, 0, 13,
                         0, 0x90, 60, 100, 48, 0x80, 60, 64, 0, 0xFF, 0x2F, 0};
constexpr int32_t kRingtoneSize = 16;

#ifdef QV_STUB_SHORT_PSEUDO
int32_t g_pseudo = 10;
#else
int32_t g_pseudo = sizeof kMidi;
#endif

}  // namespace

TCV_EXPORT void tcvInitial(int32_t, int32_t) {}
TCV_EXPORT int32_t tcvScanSMF(const uint8_t* data, int32_t size) {
  return data && size > 4 && std::memcmp(data, "MThd", 4) == 0 ? 1 : 0;
}
TCV_EXPORT int32_t tcvGetDXMSize(const uint8_t*, int32_t) { return kRingtoneSize; }
TCV_EXPORT uint8_t* tcvConvSMFtoDXM(const uint8_t*, int32_t, uint8_t* dest) {
  std::memset(dest, 0, kRingtoneSize);
  std::memcpy(dest, "MCDF", 4);
#ifdef QV_STUB_BAD_END
  return dest + kRingtoneSize + 1;
#else
  return dest + kRingtoneSize;
#endif
}
#ifndef QV_STUB_NO_TEST_POLY
TCV_EXPORT int32_t tcvTestPoly(const uint8_t*) { return 1; }
#endif
TCV_EXPORT uint8_t* tcvConvDXMtoSMF(const uint8_t*, uint8_t* dest) {
#ifdef QV_STUB_NO_MIDI
  (void)dest;
  return nullptr;
#else
  if (g_pseudo < static_cast<int32_t>(sizeof kMidi)) {
    g_pseudo = sizeof kMidi;
    return nullptr;
  }
  std::memcpy(dest, kMidi, sizeof kMidi);
#ifdef QV_STUB_BAD_END
  return dest + g_pseudo + 1;
#else
  return dest + sizeof kMidi;
#endif
#endif
}
TCV_EXPORT int32_t tcvGetPseudoFileSize(void) { return g_pseudo; }
TCV_EXPORT int32_t GetError(void) { return 0; }
TCV_EXPORT void tcvGetDXMInfo(void*) {}
TCV_EXPORT void tcvSetDXMInfo(const void*) {}
TCV_EXPORT void tcvGetUsedVoice(uint8_t* table) { std::memset(table, 0, 128); }
TCV_EXPORT void tcvSetTitle(const char*) {}
TCV_EXPORT void tcvSetArtist(const char*) {}
TCV_EXPORT void tcvSetGenre(const char*) {}
TCV_EXPORT void tcvSetCopyright(const char*) {}
TCV_EXPORT void tcvSetCreator(const char*) {}
TCV_EXPORT void tcvSetComposer(const char*) {}
TCV_EXPORT void tcvSetLyrics(const char*) {}
TCV_EXPORT void tcvSetArranger(const char*) {}
TCV_EXPORT void tcvGetTitle(char* text) { std::strcpy(text, "Stub"); }
TCV_EXPORT void tcvGetCopyright(char* text) { text[0] = 0; }
TCV_EXPORT void tcvSetChannelMap(const uint8_t*) {}
TCV_EXPORT void tcvSetChannelRemap(const uint8_t*) {}
TCV_EXPORT void tcvGetInitVoice(uint8_t* programs) {
  std::memset(programs, 0xFF, 16);
  programs[0] = 0;
}
TCV_EXPORT void tcvSetInitVoice(const uint8_t*) {}
