#pragma once
// The [Environment] colours as every window shows them. The launcher's main
// window holds the chosen background and text colour; each window takes them
// when it is placed, and again when the settings change. A window in these
// colours shows its background, captions, labels, buttons, menus and list
// headers in them, with disabled captions always dimmer than enabled ones;
// lists and input fields keep the system's colours, so that what is typed and
// listed reads as it does everywhere else.
#include <QColor>
#include <QPalette>

class QWidget;

namespace qv {

// base with the roles of the window's own surfaces and captions in the
// chosen colours, in every colour group.
QPalette SchemePalette(const QPalette& base, const QColor& back, const QColor& text);
// The same for the surfaces that also list (the launcher's own list, menus).
QPalette SchemeListPalette(const QPalette& base, const QColor& back, const QColor& text);

// A window's background and text colour, and its menus'.
void SetFormColors(QWidget* form, const QColor& back, const QColor& text);
// The main window's colours onto form (nothing for the main window itself,
// or while there is none).
void TakeMainFormColors(QWidget* form);

}  // namespace qv
