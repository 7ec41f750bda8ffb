#include "plugins/contacts/CompoString.h"

#include "core/ui/QtText.h"
#include "core/data/TextFunctions.h"

#include <QInputMethodEvent>
#include <QWidget>

namespace qv {

TCompoString::TCompoString(QObject* owner) : QObject(owner) {}

TCompoString::~TCompoString() { SetControl(nullptr); }

void TCompoString::SetControl(QWidget* control) {
  if (control_) control_->removeEventFilter(this);
  control_ = control;
  lastKana_.clear();
  if (control_) control_->installEventFilter(this);
}

bool TCompoString::IsAllKana(const QString& text) {
  if (text.isEmpty()) return false;
  for (QChar c : text) {
    const char16_t u = c.unicode();
    const bool kana = (u >= 0x3041 && u <= 0x3096) || (u >= 0x309B && u <= 0x309E) || (u >= 0x30A1 && u <= 0x30FE) ||
                      (u >= 0xFF66 && u <= 0xFF9F) || u == 0x3000 || u == 0x0020;
    if (!kana) return false;
  }
  return true;
}

bool TCompoString::eventFilter(QObject* watched, QEvent* event) {
  if (watched == control_ && event->type() == QEvent::InputMethod) {
    const auto* ime = static_cast<QInputMethodEvent*>(event);
    if (!ime->commitString().isEmpty()) {
      const QString reading = !lastKana_.isEmpty() ? lastKana_ : IsAllKana(ime->commitString()) ? ime->commitString()
                                                                                                  : QString();
      lastKana_.clear();
      if (!reading.isEmpty() && OnCompositionStr) OnCompositionStr(this, FoldToHalfWidthKana(FromQString(reading)));
    }
    const QString preedit = ime->preeditString();
    if (IsAllKana(preedit))
      lastKana_ = preedit;
    else if (preedit.isEmpty() && ime->commitString().isEmpty())
      lastKana_.clear();  // the composition was cancelled
  }
  // The control handles every event itself, this one included.
  return QObject::eventFilter(watched, event);
}

}  // namespace qv
