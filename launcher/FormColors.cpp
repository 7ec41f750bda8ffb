#include "launcher/FormColors.h"

#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"

#include <QWidget>

namespace qv {

void ApplyFormColors(QWidget& form, std::initializer_list<TAttachPanel*> panels,
                     std::initializer_list<TMultiButtonBase*> buttons) {
  // Their captions follow the window's text colour by themselves (ParentFont).
  const TColor back = ColorFromQColor(form.palette().color(QPalette::Window));
  for (TAttachPanel* panel : panels) {
    panel->SetParentColor(true);
    panel->SetAttachColor(back);
  }
  for (TMultiButtonBase* button : buttons) button->SetParentColor(true);
}

}  // namespace qv
