// The exported entry points over the module-wide converter state.
#include "converter/Converter.h"
#include "abi/TcvApi.h"

#include <cstring>

using tcv::TheConverter;

namespace {

size_t SizeArg(int32_t size) { return size > 0 ? static_cast<size_t>(size) : 0; }

int32_t IntResult(size_t n) { return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n); }

void SetText(char* field, size_t max, const char* text) {
  tcv::CopyText(field, max, text, text ? std::strlen(text) : 0);
}

}  // namespace

TCV_EXPORT void tcvInitial(int32_t, int32_t) { TheConverter().Initial(); }

TCV_EXPORT int32_t tcvScanSMF(const uint8_t* data, int32_t size) {
  return TheConverter().ScanSmf(data, SizeArg(size)) ? 1 : 0;
}

TCV_EXPORT int32_t tcvGetDXMSize(const uint8_t* data, int32_t size) {
  return IntResult(TheConverter().RingtoneSize(data, data ? SizeArg(size) : 0));
}

TCV_EXPORT uint8_t* tcvConvSMFtoDXM(const uint8_t* data, int32_t size, uint8_t* dest) {
  return TheConverter().ConvertToRingtone(data, data ? SizeArg(size) : 0, dest);
}

TCV_EXPORT int32_t tcvTestPoly(const uint8_t* ringtone) { return TheConverter().TestPolyphony(ringtone) ? 1 : 0; }

TCV_EXPORT uint8_t* tcvConvDXMtoSMF(const uint8_t* ringtone, uint8_t* dest) {
  return TheConverter().ConvertToMidi(ringtone, dest);
}

TCV_EXPORT int32_t tcvGetPseudoFileSize(void) { return IntResult(TheConverter().PseudoFileSize()); }

TCV_EXPORT int32_t GetError(void) { return TheConverter().Error(); }

TCV_EXPORT void tcvGetDXMInfo(void* info) {
  if (info) std::memcpy(info, &TheConverter().Info(), sizeof(tcv::InfoBlock));
}

TCV_EXPORT void tcvSetDXMInfo(const void* info) {
  if (info) std::memcpy(&TheConverter().Info(), info, sizeof(tcv::InfoBlock));
}

TCV_EXPORT void tcvGetUsedVoice(uint8_t* table) {
  if (table) std::memcpy(table, TheConverter().Scan().usedVoice, sizeof TheConverter().Scan().usedVoice);
}

#define TCV_TEXT_SETTER(name, field, max) \
  TCV_EXPORT void name(const char* text) { SetText(TheConverter().Info().field, max, text); }
TCV_TEXT_SETTER(tcvSetTitle, title, tcv::kTitleMax)
TCV_TEXT_SETTER(tcvSetArtist, artist, tcv::kTextMax)
TCV_TEXT_SETTER(tcvSetGenre, genre, tcv::kTextMax)
TCV_TEXT_SETTER(tcvSetCopyright, copyright, tcv::kTextMax)
TCV_TEXT_SETTER(tcvSetCreator, creator, tcv::kTextMax)
TCV_TEXT_SETTER(tcvSetComposer, composer, tcv::kTextMax)
TCV_TEXT_SETTER(tcvSetLyrics, lyrics, tcv::kTextMax)
TCV_TEXT_SETTER(tcvSetArranger, arranger, tcv::kTextMax)
#undef TCV_TEXT_SETTER

// The caller's buffer always comes back terminated, whatever tcvSetDXMInfo put there.
TCV_EXPORT void tcvGetTitle(char* text) {
  if (!text) return;
  std::memcpy(text, TheConverter().Info().title, tcv::kTitleMax);
  text[tcv::kTitleMax] = 0;
}

TCV_EXPORT void tcvGetCopyright(char* text) {
  if (!text) return;
  std::memcpy(text, TheConverter().Info().copyright, tcv::kTextMax);
  text[tcv::kTextMax] = 0;
}

TCV_EXPORT void tcvSetChannelMap(const uint8_t* map) {
  if (map) std::memcpy(TheConverter().Info().channelMap, map, 4);
}

TCV_EXPORT void tcvSetChannelRemap(const uint8_t* remap) {
  if (remap) std::memcpy(TheConverter().Info().channelRemap, remap, 16);
}

TCV_EXPORT void tcvGetInitVoice(uint8_t* programs) {
  if (programs) std::memcpy(programs, TheConverter().Info().initialProgram, 16);
}

TCV_EXPORT void tcvSetInitVoice(const uint8_t* programs) {
  if (programs) std::memcpy(TheConverter().Info().initialProgram, programs, 16);
}
