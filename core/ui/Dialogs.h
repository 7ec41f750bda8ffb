#pragma once
// The questions and file dialogs of the plug-ins' windows, behind functions
// that tests can answer. Texts are CP932; paths are the file system's.
#include <QFont>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace qv {

enum class Answer { Yes, No, Cancel };

// A warning box captioned "VeoQuorvel" with Yes and No (No the default), or
// Yes, No and Cancel.
Answer AskWarning(QWidget* parent, std::string_view text, bool withCancel);
// An information box with OK.
void ShowInformation(QWidget* parent, std::string_view text);
// A warning box with OK.
void ShowWarning(QWidget* parent, std::string_view text);
// An open dialog with a filter ("caption|pattern|caption|pattern..."),
// starting in folder when one is given, proposing the name when one is given;
// the chosen file's path, or nothing when cancelled. With a default extension
// (".qad") a name given without one gets it.
std::optional<std::filesystem::path> AskOpenFile(QWidget* parent, std::string_view filter,
                                                 const std::filesystem::path& folder = {},
                                                 std::string_view defaultExtension = {},
                                                 std::string_view proposedName = {});
// A save dialog preset to path; the chosen path, or nothing when cancelled.
// The default extension completes a name as for AskOpenFile, before the
// dialog asks whether to replace the file of that name.
std::optional<std::filesystem::path> AskSaveFile(QWidget* parent, const std::filesystem::path& path,
                                                 std::string_view filter, std::string_view defaultExtension = {});
// A font dialog on the font; the chosen font, or nothing when cancelled.
std::optional<QFont> AskFont(QWidget* parent, const QFont& font);

// Test hooks: each replaces its dialogs while set; an empty function restores them.
struct DialogHandlers {
  std::function<Answer(const std::string& text, bool withCancel)> ask;
  std::function<void(const std::string& text)> info;
  std::function<void(const std::string& text)> warn;
  std::function<std::optional<std::filesystem::path>(const std::string& filter)> open;
  // Answers open dialogs that start in a folder (open answers them when unset).
  std::function<std::optional<std::filesystem::path>(const std::filesystem::path& folder, const std::string& filter)>
      openIn;
  std::function<std::optional<std::filesystem::path>(const std::filesystem::path& path, const std::string& filter)>
      save;
  std::function<std::optional<QFont>(const QFont& font)> font;
};
void SetDialogHandlers(DialogHandlers handlers);

}  // namespace qv
