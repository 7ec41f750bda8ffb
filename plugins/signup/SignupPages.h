#pragma once
// What the sign-up terminal says to the sign-up centre and how it reads the
// centre's pages: the request text, the page's header lines and parts, the
// pictogram tags of decorated parts, the numbered choices of page lines, and
// which typed text may go on the line. All text is CP932 bytes.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qv::signup {

// A request goes out with at most this many bytes.
inline constexpr size_t kRequestLimit = 2304;
// A received page keeps at most this many bytes.
inline constexpr size_t kPageLimit = 102400;

// The request that opens every call: the terminal's capabilities.
extern const std::string_view kFirstMessage;

// The request to addressee with the typed lines as its body: every line that
// begins with "." gets another "." in front; an empty body adds nothing
// after the empty line that ends the header.
std::string RequestText(std::string_view addressee, const std::vector<std::string>& lines);
// Text cut to limit bytes, never inside a double-byte character.
std::string CutToLimit(std::string_view text, size_t limit);
// A request as it goes on the line: at most 2,304 bytes. A longer one is cut
// on a character boundary and still ends with a line break (the module ends
// the body with a line "." after it), without a last line "." of its own.
std::string CutRequest(std::string_view request);

// Typed text may go out when it holds only CR, LF, printable ASCII and
// double-byte characters outside the user-defined codes F040-F9FC; anything
// else, half-width katakana included, refuses the whole text.
bool CheckInput(std::string_view text);

// A header line of a page: "name: value" with its continuation lines.
struct Header {
  std::string name;    // trimmed
  std::string value;   // trimmed, without the parameters
  std::string params;  // the trimmed text after the value's first ";"
};

// When lines[at] is a header, reads it with its continuation lines into
// header and moves at past them; false (at unchanged) when it is not one.
bool ReadHeader(const std::vector<std::string>& lines, size_t& at, Header& header);

// The boundary of a "MULTIPART/MIXED" content type's parameters; empty when
// the first parameter is not a boundary.
std::string BoundaryOf(std::string_view params);

// Looks the header name up in the page's header blocks (the page's own and
// those of its parts), taking the first one at or after line from; a
// negative or too large to means the last line.
bool FindHeader(const std::vector<std::string>& lines, std::string_view name, int from, int to, std::string& value,
                std::string& params);

// The input mode a page asks for.
enum class InputMode { Unchanged, Alphanumeric, Kanji };

// Replaces the page's lines by the lines to show (the text parts, decorated
// ones with their pictogram tags filled in) and tells the input mode the page
// asks for. picText holds the pictograph table's NAME=value lines.
InputMode ParsePage(std::vector<std::string>& lines, const std::vector<std::string>& picText);

// Fills in the pictogram tags of decorated text ("<#NAME>" becomes the
// table's value, "<<" a "<") and drops every other tag, with the line break
// after a tag that stands alone on its line.
std::string ExpandTags(std::string_view text, const std::vector<std::string>& picText);

// The choice a page line offers, empty for none: the number of a circled
// digit ①-⑳ that begins the line, or the whole number before "⇒".
std::string ParseChoice(std::string_view line);

// The page's lines: the text up to its first NUL, split at CR LF, CR or LF.
std::vector<std::string> PageLines(std::string_view text);

// The history of received pages, each with the text sent from it.
struct Page {
  std::string text;  // the page as received, CR LF line ends
  std::string sent;  // what the user sent from it (CP932)
};

class PageHistory {
 public:
  // At least one page is always kept.
  explicit PageHistory(int maxCount = 100) { SetMaxCount(maxCount); }
  void SetMaxCount(int maxCount) { max_ = maxCount < 1 ? 1 : static_cast<size_t>(maxCount); }
  size_t MaxCount() const { return max_; }
  // Appends the page, dropping the oldest when the history is full; the new
  // page's index.
  int Push(std::string text);
  void Clear() { pages_.clear(); }
  int Count() const { return static_cast<int>(pages_.size()); }
  bool Empty() const { return pages_.empty(); }
  int Newest() const { return Count() - 1; }
  Page& operator[](int index) { return pages_[static_cast<size_t>(index)]; }
  const Page& operator[](int index) const { return pages_[static_cast<size_t>(index)]; }

 private:
  std::vector<Page> pages_;
  size_t max_ = 100;
};

}  // namespace qv::signup
