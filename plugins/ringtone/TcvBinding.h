#pragma once
// The converter module (TCV) bound at run time: the 23 entry points the
// ringtone maker uses, all required.
#include "abi/TcvApi.h"
#include "platform/Module.h"

#include <string_view>

namespace qv {

struct TcvBinding {
  TcvInitialFn tcvInitial = nullptr;
  TcvGetBytesFn tcvGetUsedVoice = nullptr;
  TcvSetTextFn tcvSetTitle = nullptr;
  TcvSetTextFn tcvSetArtist = nullptr;
  TcvSetTextFn tcvSetGenre = nullptr;
  TcvSetTextFn tcvSetCopyright = nullptr;
  TcvSetTextFn tcvSetCreator = nullptr;
  TcvSetTextFn tcvSetComposer = nullptr;
  TcvSetTextFn tcvSetLyrics = nullptr;
  TcvSetTextFn tcvSetArranger = nullptr;
  TcvSetBytesFn tcvSetChannelMap = nullptr;
  TcvSetBytesFn tcvSetChannelRemap = nullptr;
  TcvGetTextFn tcvGetTitle = nullptr;
  TcvGetTextFn tcvGetCopyright = nullptr;
  TcvGetBytesFn tcvGetInitVoice = nullptr;
  TcvSetBytesFn tcvSetInitVoice = nullptr;
  TcvScanSMFFn tcvScanSMF = nullptr;
  TcvGetDXMSizeFn tcvGetDXMSize = nullptr;
  TcvConvSMFtoDXMFn tcvConvSMFtoDXM = nullptr;
  TcvTestPolyFn tcvTestPoly = nullptr;
  TcvConvDXMtoSMFFn tcvConvDXMtoSMF = nullptr;
  TcvNoArgIntFn tcvGetPseudoFileSize = nullptr;
  TcvNoArgIntFn GetError = nullptr;

  // Loads the module (a relative name from the launcher's folder) and looks
  // every entry point up. An empty name, a module that does not load or one
  // that lacks any name leaves nothing bound and the module freed.
  bool Bind(std::string_view fileName);
  void Unbind();
  bool Bound() const { return module.IsLoaded(); }

  Module module;
};

}  // namespace qv
