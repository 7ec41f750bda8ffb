#pragma once
// The settings' background and text colours reach every window through its
// palette (the main window sets its own; placement copies them onto the
// others). The control-set children of a window follow them here: faces in
// the window's colour, captions in its text colour, and what lies outside an
// attach panel's rounded frame is the window itself.
#include <initializer_list>

class QWidget;
class TAttachPanel;
class TMultiButtonBase;

namespace qv {

void ApplyFormColors(QWidget& form, std::initializer_list<TAttachPanel*> panels,
                     std::initializer_list<TMultiButtonBase*> buttons);

}  // namespace qv
