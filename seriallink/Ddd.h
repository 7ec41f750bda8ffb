#pragma once
// Bytes and their three-digit decimal wire form ("DDD"). No state.
#include <cstdint>

namespace portvine::ddd {

// p[0..2] as a three-digit number; a character that is not a digit counts as 0.
int32_t DDDtoByte(const char* p);
// The low 8 bits of b as exactly three digits and a NUL (4 bytes).
void BytetoDDD(int32_t b, char* out);
// Groups of three characters to bytes: ceil(len / 3) of them, at most 247 (the
// text is taken at most 741 characters); a short last group is completed with
// zeros. Returns the number of bytes.
int32_t StrDDDtoBin(const char* text, uint8_t* out);
// At most 247 bytes to 3 digits each and a NUL; returns the digits written,
// 0 for a negative length.
int32_t BintoStrDDD(const uint8_t* data, int32_t length, char* out);
// Blanks out the handset's control codes in place.
void ExCodeToSPC(uint8_t* buffer, int32_t length);

}  // namespace portvine::ddd
