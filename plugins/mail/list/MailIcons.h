#pragma once
// The mail window's pictures, all from the resource module's bitmaps: the
// folder and tool-bar icons ("CLIPICON"), the mail list's icons ("MAILICON")
// and the pictographs ("PICTEXT").
#include "core/ui/Pictures.h"

class TImageList;

namespace qv {

class TfrmMailList;

// Fills the three lists; a list whose bitmap cannot be had stays empty.
void LoadMailIcons(TImageList& clipIcons, TImageList& mailIcons, TImageList& picText);
// The window's own icon and those of its actions.
void ApplyActionIcons(TfrmMailList& list);

}  // namespace qv
