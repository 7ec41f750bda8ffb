#pragma once
// The message file: one entry per line, CODE=text, where CODE is a letter
// (I information, W warning, D disconnection, E error) and five digits.
// Codes are looked up ignoring letter case; the first entry of a code counts.
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qv {

class MessageTable {
 public:
  // Replaces the table with the file's lines; false (table left empty) when
  // the file cannot be read or holds no entry for any id (a letter and five
  // digits): such a file is no message file.
  bool LoadFromFile(const std::filesystem::path& path);
  void SetLines(std::vector<std::string> lines);
  void Clear();

  // The text stored for code, empty when the code has no entry.
  std::string Text(std::string_view code) const;
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  std::unordered_map<std::string, size_t> index_;  // upper-cased code -> line
};

// A text file's lines, whatever their break (CR, LF or CR LF).
std::vector<std::string> SplitTextLines(std::string_view text);

// "<br>" in any letter case becomes CR LF.
std::string ExpandLineBreaks(std::string_view text);

// "%1" to "%9" become the arguments (what a text says about its case: a port,
// a file); a number without an argument stays as it is.
std::string FillInArguments(std::string_view text, const std::vector<std::string>& args);

}  // namespace qv
