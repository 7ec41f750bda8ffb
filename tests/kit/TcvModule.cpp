// Binds the built module, as the ringtone maker does.
#include "TcvModule.h"
#include "platform/Module.h"

#include <stdexcept>
#include <string>

namespace tcvtest {

const TcvApi& Module() {
  static qv::Module module;
  static TcvApi api = [] {
    if (!module.Load(QV_TCV_MODULE)) throw std::runtime_error("cannot load TCV: " + module.Error());
    auto bind = [](const char* name) {
      void* f = module.Symbol(name);
      if (!f) throw std::runtime_error(std::string("TCV lacks ") + name);
      return f;
    };
    TcvApi a;
#define BIND(field, name) a.field = reinterpret_cast<decltype(a.field)>(bind(name))
    BIND(initial, "tcvInitial");
    BIND(scan, "tcvScanSMF");
    BIND(dxmSize, "tcvGetDXMSize");
    BIND(toDxm, "tcvConvSMFtoDXM");
    BIND(testPoly, "tcvTestPoly");
    BIND(toSmf, "tcvConvDXMtoSMF");
    BIND(pseudoSize, "tcvGetPseudoFileSize");
    BIND(getError, "GetError");
    BIND(getInfo, "tcvGetDXMInfo");
    BIND(setInfo, "tcvSetDXMInfo");
    BIND(getUsedVoice, "tcvGetUsedVoice");
    BIND(setTitle, "tcvSetTitle");
    BIND(setArtist, "tcvSetArtist");
    BIND(setGenre, "tcvSetGenre");
    BIND(setCopyright, "tcvSetCopyright");
    BIND(setCreator, "tcvSetCreator");
    BIND(setComposer, "tcvSetComposer");
    BIND(setLyrics, "tcvSetLyrics");
    BIND(setArranger, "tcvSetArranger");
    BIND(getTitle, "tcvGetTitle");
    BIND(getCopyright, "tcvGetCopyright");
    BIND(setChannelMap, "tcvSetChannelMap");
    BIND(setChannelRemap, "tcvSetChannelRemap");
    BIND(getInitVoice, "tcvGetInitVoice");
    BIND(setInitVoice, "tcvSetInitVoice");
#undef BIND
    return a;
  }();
  return api;
}

}  // namespace tcvtest
