#pragma once
// The edit fields of the contact dialogs: limits in CP932 bytes as the
// system counts text, and stored text that goes back in its own bytes unless
// the user changed it (the CP932 conversion is no byte round trip).
#include <QString>
#include <map>
#include <string>
#include <string_view>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace qv {

// Cuts the memo's text to bytes CP932 bytes (never inside a character)
// whenever it grows beyond them.
void LimitPlainText(QPlainTextEdit* memo, int bytes);
void LimitLineText(QLineEdit* edit, int bytes);

// A memo's text as stored (lines ended by CR LF) and back.
QString MemoText(std::string_view stored);
std::string StoredMemo(const QString& text);

class FieldTexts {
 public:
  // Shows the stored text in the field and remembers its bytes.
  void Put(QLineEdit* edit, std::string_view stored);
  void Put(QPlainTextEdit* memo, std::string_view stored);
  // The field's text as stored: the remembered bytes while the text is as
  // shown, else the typed text encoded.
  std::string Get(const QLineEdit* edit) const;
  std::string Get(const QPlainTextEdit* memo) const;
  // Whether the field still shows what Put gave it.
  bool Unchanged(const QLineEdit* edit) const;

 private:
  std::string Kept(const QWidget* field, const QString& now, std::string typed) const;
  std::map<const QWidget*, std::pair<QString, std::string>> shown_;
};

}  // namespace qv
