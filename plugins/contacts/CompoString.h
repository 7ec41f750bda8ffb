#pragma once
// The reading of what the input method composes in a text field. Linux input
// methods show the converted kanji as the preedit before the commit, so the
// reading of a commit is the last preedit before it that was all kana (or
// the commit itself when it is all kana), folded to half-width katakana, the
// only kana the handset carries. The component watches its Control through
// an event filter and reports each reading through OnCompositionStr.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

namespace qv {

class TCompoString : public QObject {
  Q_OBJECT
  Q_PROPERTY(QWidget* Control READ Control WRITE SetControl)
 public:
  explicit TCompoString(QObject* owner = nullptr);
  ~TCompoString() override;

  QWidget* Control() const { return control_; }
  // Watches the control from now on (null: none); the old one is let go.
  void SetControl(QWidget* control);

  // (Sender, Value): the reading, CP932 half-width katakana.
  std::function<void(QObject* sender, const std::string& value)> OnCompositionStr;

  // Whether every character is kana (hiragana, katakana of either width, the
  // long vowel and voicing marks) or a blank; false for empty text.
  static bool IsAllKana(const QString& text);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPointer<QWidget> control_;
  QString lastKana_;
};

}  // namespace qv
