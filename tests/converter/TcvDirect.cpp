// The converter under test in the sanitizer build: its sources, linked in.
#include "TcvTestApi.h"

namespace tcvtest {

const TcvApi& Module() {
  static const TcvApi api = {&tcvInitial,      &tcvScanSMF,     &tcvGetDXMSize,   &tcvConvSMFtoDXM,
                             &tcvTestPoly,     &tcvConvDXMtoSMF, &tcvGetPseudoFileSize, &GetError,
                             &tcvGetDXMInfo,   &tcvSetDXMInfo,  &tcvGetUsedVoice, &tcvSetTitle,
                             &tcvSetArtist,    &tcvSetGenre,    &tcvSetCopyright, &tcvSetCreator,
                             &tcvSetComposer,  &tcvSetLyrics,   &tcvSetArranger,  &tcvGetTitle,
                             &tcvGetCopyright, &tcvSetChannelMap, &tcvSetChannelRemap, &tcvGetInitVoice,
                             &tcvSetInitVoice};
  return api;
}

}  // namespace tcvtest
