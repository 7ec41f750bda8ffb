#pragma once
// Message boxes with a single OK button, behind one function so that tests
// can answer them. Each module links its own copy, so a test answers the boxes
// of the code it links.
#include <functional>
#include <string>
#include <string_view>

class QWidget;

namespace qv {

enum class BoxKind { Information, Warning, Error };

// Shows a modal box captioned "VeoQuorvel"; text is CP932.
void ShowMessageBox(QWidget* parent, BoxKind kind, std::string_view text);

// Replaces the boxes (for tests); an empty function restores them.
using MessageBoxHandler = std::function<void(BoxKind kind, const std::string& text)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace qv
