#pragma once
// The settings' background and text colours reach every window through its
// palette (core/ui/FormColors.h). The control-set children of a window follow
// them here: faces in the window's colour, and what lies outside an attach
// panel's rounded frame is the window itself; their captions follow the
// window's text colour by themselves.
#include <initializer_list>

class QWidget;
class TAttachPanel;
class TMultiButtonBase;

namespace qv {

void ApplyFormColors(QWidget& form, std::initializer_list<TAttachPanel*> panels,
                     std::initializer_list<TMultiButtonBase*> buttons);

}  // namespace qv
