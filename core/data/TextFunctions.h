#pragma once
// Double-byte-safe string functions, full-width conversion, Base64 and the
// mail header functions. All text is CP932 bytes.
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The index-th (0-based) field of s between occurrences of delim; the last
// field runs to the end; a missing field is empty. A delimiter is never found
// inside a double-byte character.
std::string GetField(std::string_view s, std::string_view delim, int index);
// Non-overlapping occurrences of delim in s.
int CountDelims(std::string_view s, std::string_view delim);
// Position of delim in s at or after from, never inside a double-byte character.
size_t FindDelim(std::string_view s, std::string_view delim, size_t from = 0);

// Half-width ASCII and katakana of the whole text to full width.
std::string ToFullWidth(std::string_view s);
// Each run of half-width katakana to full width (voicing marks combine).
std::string HalfKanaToFullWidth(std::string_view s);
// Hiragana and full-width katakana (with the kana punctuation, the long vowel
// mark and the ideographic space) to half-width katakana, the only kana the
// handset's text code carries; voiced kana become two bytes. Kana without a
// half-width form take the nearest one (ヵ ｶ, ヰ ｲ). Everything else stays.
std::string FoldToHalfWidthKana(std::string_view s);

// Standard Base64: every 54 bytes a line of 72 characters ended by CR LF; a
// partial last line has no break and is padded with "=".
std::string Base64Encode(std::string_view bytes);
// Characters outside the alphabet are skipped. False (and empty output) when a
// group starts with "=".
bool Base64Decode(std::string_view text, std::string& bytes);

// Header up to and including the first CR LF of the first blank line; empty
// when there is none.
std::string HeaderPart(std::string_view text);
// What follows the blank line, without one final CR LF; empty when there is none.
std::string BodyPart(std::string_view text);
// Bytes of the header lines that open text, with their line breaks: field
// lines (a name of printable ASCII other than ":", then ":") and the
// continuation lines after them, up to the first line that is neither.
size_t LeadingHeaderLength(std::string_view text);
// Whether text opens with header lines ended by an empty line.
bool StartsWithHeader(std::string_view text);
// The header lines as name=value entries, continuation lines joined.
void ParseHeaderLines(std::vector<std::string>& list, std::string_view text);
// The whole value of the first field name (case-insensitive).
std::string GetHeaderValue(std::string_view text, std::string_view name);
// Part index of the field's value split at ";" (0: the value without parameters).
std::string GetHeaderValueN(std::string_view text, std::string_view name, int index);
// A parameter of the field ("charset" of Content-Type); quotes removed.
bool GetHeaderParam(std::string_view text, std::string_view name, std::string_view param, std::string& value);
// Splits at ";" outside double quotes; parts trimmed, empty parts dropped.
void SplitHeaderParams(std::string_view value, std::vector<std::string>& list);
// Prefix + "00", "01", ... : the first whose boundary lines do not occur in text.
std::string MakeBoundary(std::string_view text, std::string_view prefix);

// The lines of a text as a string list holds them: split at CR LF, CR or LF;
// a final line break adds no empty line.
std::vector<std::string_view> SplitLines(std::string_view text);

// Text without blanks and control characters at either end.
std::string TrimText(std::string_view s);
// ASCII letters upper-cased; double-byte characters stay as they are.
std::string UpperAscii(std::string_view s);
// Single-byte case-insensitive comparison, stepping over double-byte characters.
bool SameTextNoCase(std::string_view a, std::string_view b);

}  // namespace qv
