#pragma once
// The phone book and the bookmarks in the handset exchange file: the records
// of data kind 1 (phone book) and 8 (bookmarks) built from the entries for
// sending, and the entries found in what the launcher brought back. Text is
// CP932.
#include "core/data/Bookmarks.h"
#include "core/data/PhoneBook.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qv {

// The frame lines of the entries in list order: record i has the parity
// (i + startOdd) and 1, the last record the last-record bit. Kana names
// (0101, 0201) and bookmark readings (2004) are folded to half-width first.
std::vector<std::string> BuildPhoneBookLines(const PhoneBookList& entries, bool startOdd);
std::vector<std::string> BuildBookmarkLines(const BookmarkList& entries, bool startOdd);

// The entries of frame lines: whole records only, a bad line dropping the
// record it falls in. Phone-book records without a kana name are dropped,
// bookmarks with no field at all.
PhoneBookList ParsePhoneBookLines(const std::vector<std::string>& lines);
BookmarkList ParseBookmarkLines(const std::vector<std::string>& lines);

// Writes every entry into the exchange file, replacing it ([Environment]
// DuplicationFlagStartOdd gives the first parity). True when at least one
// line was written; written tells whether the file could be written at all.
bool BuildSendFile(const std::filesystem::path& path, const PhoneBookList& entries, bool* written = nullptr);
bool BuildSendFile(const std::filesystem::path& path, const BookmarkList& entries, bool* written = nullptr);

// Appends the entries found in the exchange file; returns how many. A missing
// file gives 0.
int ParseReceivedFile(const std::filesystem::path& path, PhoneBookList& entries);
int ParseReceivedFile(const std::filesystem::path& path, BookmarkList& entries);

// The rows whose kana name reaches the handset as nothing (no character of it
// has a handset code even after folding): the handset would keep them without
// a name, and the next receive would drop them.
std::vector<int> EntriesWithoutHandsetName(const PhoneBookList& entries);

}  // namespace qv
