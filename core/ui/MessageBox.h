#pragma once
// Message boxes, behind one function so that tests can answer them and every
// box speaks the interface's language. Each module links its own copy, so a
// test answers the boxes of the code it links.
#include <functional>
#include <string>
#include <string_view>

class QWidget;

namespace qv {

enum class BoxKind { Information, Warning, Error };
enum class BoxButtons { Ok, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

// Shows a modal box captioned "VeoQuorvel" with the buttons captioned in
// Japanese (No the default of Yes/No); text is CP932. Closing the box
// answers Cancel where there is one, else No or OK.
BoxAnswer ExecMessageBox(QWidget* parent, BoxKind kind, std::string_view text, BoxButtons buttons);

// A box with OK alone, answered by the handler while one is set.
void ShowMessageBox(QWidget* parent, BoxKind kind, std::string_view text);

// Replaces the OK boxes (for tests); an empty function restores them.
using MessageBoxHandler = std::function<void(BoxKind kind, const std::string& text)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace qv
