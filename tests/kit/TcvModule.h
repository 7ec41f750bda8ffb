#pragma once
// The converter's entry points as tests and benchmarks call them: bound from
// the built module, or (in the sanitizer build) from the sources linked in.
#include "SmfTestFile.h"
#include "abi/TcvApi.h"

namespace tcvtest {

struct TcvApi {
  TcvInitialFn initial;
  TcvScanSMFFn scan;
  TcvGetDXMSizeFn dxmSize;
  TcvConvSMFtoDXMFn toDxm;
  TcvTestPolyFn testPoly;
  TcvConvDXMtoSMFFn toSmf;
  TcvNoArgIntFn pseudoSize;
  TcvNoArgIntFn getError;
  TcvGetBlockFn getInfo;
  TcvSetBlockFn setInfo;
  TcvGetBytesFn getUsedVoice;
  TcvSetTextFn setTitle, setArtist, setGenre, setCopyright, setCreator, setComposer, setLyrics, setArranger;
  TcvGetTextFn getTitle, getCopyright;
  TcvSetBytesFn setChannelMap, setChannelRemap;
  TcvGetBytesFn getInitVoice;
  TcvSetBytesFn setInitVoice;
};

// The converter under test: the built TCV.so, loaded once per process, or
// in the sanitizer build the sources linked into the test.
const TcvApi& Module();

}  // namespace tcvtest
