#include "launcher/FormColors.h"

#include "controls/BRVPanelEX.h"
#include "controls/MultiButton.h"

#include <QWidget>

namespace qv {

void ApplyFormColors(QWidget& form, std::initializer_list<TAttachPanel*> panels,
                     std::initializer_list<TMultiButtonBase*> buttons) {
  const TColor back = ColorFromQColor(form.palette().color(QPalette::Window));
  const TColor text = ColorFromQColor(form.palette().color(QPalette::WindowText));
  for (TAttachPanel* panel : panels) {
    panel->SetParentColor(true);
    panel->SetAttachColor(back);
    panel->SetFont({panel->font(), text});
  }
  for (TMultiButtonBase* button : buttons) {
    button->SetParentColor(true);
    button->SetFont({button->font(), text});
  }
}

}  // namespace qv
