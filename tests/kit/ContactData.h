#pragma once
// Phone-book entries and bookmarks for tests and benchmarks: every field used,
// each in the form the handset gives it back, so that what goes out and comes
// in again compares field for field; and small Windows bitmaps as pictures.
#include "core/data/Bookmarks.h"
#include "core/data/PhoneBook.h"

#include <string>

namespace qvtest {

// A 24-bit Windows bitmap of w x h pixels whose colours depend on seed.
std::string TestBitmap(int seed, int w = 48, int h = 36);

// Entry n with all of fields 0-50 filled (a picture when withPicture); field
// 51 stays empty. Texts hold commas, quotes and line breaks where a field can.
qv::PhoneBookEntry FullEntry(int n, bool withPicture);
// count entries; every tenth from the first has a picture when pictures is set.
qv::PhoneBookList FullPhoneBook(int count, bool pictures = true);

// Bookmark n with all four fields filled, the reading in half-width kana.
qv::BookmarkEntry FullBookmark(int n);

}  // namespace qvtest
