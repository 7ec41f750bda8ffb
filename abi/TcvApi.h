#pragma once
// The ringtone converter's flat C interface (module TCV). The caller owns
// every buffer; the state is module-wide, so one conversion runs at a time.
//
// Buffers: the info block is 348 bytes, the used-voice table 128, channel
// map 4, remap and initial programs 16, title 41, copyright 21.
#include <stdint.h>

#define TCV_EXPORT extern "C" __attribute__((visibility("default")))

// GetError values.
#define TCV_ERROR_NONE 0
#define TCV_ERROR_NOT_RINGTONE 0x90102
#define TCV_ERROR_POLYPHONY 0x90201
#define TCV_ERROR_DROPPED_NOTES 0x90202  // a warning: the conversion is complete

#define TCV_INFO_SIZE 348

TCV_EXPORT void tcvInitial(int32_t reserved1, int32_t reserved2);
TCV_EXPORT int32_t tcvScanSMF(const uint8_t* data, int32_t size);
TCV_EXPORT int32_t tcvGetDXMSize(const uint8_t* data, int32_t size);
TCV_EXPORT uint8_t* tcvConvSMFtoDXM(const uint8_t* data, int32_t size, uint8_t* dest);
TCV_EXPORT int32_t tcvTestPoly(const uint8_t* ringtone);
// dest must hold tcvGetPseudoFileSize() bytes; null when the ringtone is not
// recognised, or when its MIDI file needs more (tcvGetPseudoFileSize then
// reports what it needs).
TCV_EXPORT uint8_t* tcvConvDXMtoSMF(const uint8_t* ringtone, uint8_t* dest);
TCV_EXPORT int32_t tcvGetPseudoFileSize(void);
TCV_EXPORT int32_t GetError(void);
TCV_EXPORT void tcvGetDXMInfo(void* info);
TCV_EXPORT void tcvSetDXMInfo(const void* info);
TCV_EXPORT void tcvGetUsedVoice(uint8_t* table);
TCV_EXPORT void tcvSetTitle(const char* text);
TCV_EXPORT void tcvSetArtist(const char* text);
TCV_EXPORT void tcvSetGenre(const char* text);
TCV_EXPORT void tcvSetCopyright(const char* text);
TCV_EXPORT void tcvSetCreator(const char* text);
TCV_EXPORT void tcvSetComposer(const char* text);
TCV_EXPORT void tcvSetLyrics(const char* text);
TCV_EXPORT void tcvSetArranger(const char* text);
TCV_EXPORT void tcvGetTitle(char* text);
TCV_EXPORT void tcvGetCopyright(char* text);
TCV_EXPORT void tcvSetChannelMap(const uint8_t* map);
TCV_EXPORT void tcvSetChannelRemap(const uint8_t* remap);
TCV_EXPORT void tcvGetInitVoice(uint8_t* programs);
TCV_EXPORT void tcvSetInitVoice(const uint8_t* programs);

// Pointer types for callers that bind the module at run time.
typedef void (*TcvInitialFn)(int32_t, int32_t);
typedef int32_t (*TcvScanSMFFn)(const uint8_t*, int32_t);
typedef int32_t (*TcvGetDXMSizeFn)(const uint8_t*, int32_t);
typedef uint8_t* (*TcvConvSMFtoDXMFn)(const uint8_t*, int32_t, uint8_t*);
typedef int32_t (*TcvTestPolyFn)(const uint8_t*);
typedef uint8_t* (*TcvConvDXMtoSMFFn)(const uint8_t*, uint8_t*);
typedef int32_t (*TcvNoArgIntFn)(void);  // tcvGetPseudoFileSize, GetError
typedef void (*TcvGetBlockFn)(void*);
typedef void (*TcvSetBlockFn)(const void*);
typedef void (*TcvGetBytesFn)(uint8_t*);  // tcvGetUsedVoice, tcvGetInitVoice
typedef void (*TcvSetBytesFn)(const uint8_t*);  // map, remap, tcvSetInitVoice
typedef void (*TcvSetTextFn)(const char*);
typedef void (*TcvGetTextFn)(char*);
