#include "plugins/ringtone/TcvBinding.h"

#include <type_traits>

namespace qv {

bool TcvBinding::Bind(std::string_view fileName) {
  Unbind();
  if (fileName.empty() || !module.Load(fileName)) return false;
  bool all = true;
  auto take = [&](auto& fn, const char* name) {
    fn = module.Function<std::remove_reference_t<decltype(fn)>>(name);
    if (!fn) all = false;
  };
  take(tcvInitial, "tcvInitial");
  take(tcvGetUsedVoice, "tcvGetUsedVoice");
  take(tcvSetTitle, "tcvSetTitle");
  take(tcvSetArtist, "tcvSetArtist");
  take(tcvSetGenre, "tcvSetGenre");
  take(tcvSetCopyright, "tcvSetCopyright");
  take(tcvSetCreator, "tcvSetCreator");
  take(tcvSetComposer, "tcvSetComposer");
  take(tcvSetLyrics, "tcvSetLyrics");
  take(tcvSetArranger, "tcvSetArranger");
  take(tcvSetChannelMap, "tcvSetChannelMap");
  take(tcvSetChannelRemap, "tcvSetChannelRemap");
  take(tcvGetTitle, "tcvGetTitle");
  take(tcvGetCopyright, "tcvGetCopyright");
  take(tcvGetInitVoice, "tcvGetInitVoice");
  take(tcvSetInitVoice, "tcvSetInitVoice");
  take(tcvScanSMF, "tcvScanSMF");
  take(tcvGetDXMSize, "tcvGetDXMSize");
  take(tcvConvSMFtoDXM, "tcvConvSMFtoDXM");
  take(tcvTestPoly, "tcvTestPoly");
  take(tcvConvDXMtoSMF, "tcvConvDXMtoSMF");
  take(tcvGetPseudoFileSize, "tcvGetPseudoFileSize");
  take(GetError, "GetError");
  if (!all) Unbind();
  return all;
}

void TcvBinding::Unbind() {
  *this = TcvBinding{};  // clears every pointer; the old module is freed by the move
}

}  // namespace qv
