#pragma once
// How well one colour reads on another, and the colours derived from that:
// the caption of a disabled control, and a marking colour kept where it reads.
// Contrast is the ratio of the two relative luminances (each + 0.05), from 1
// (the same) to 21 (black on white), as the common accessibility rules
// measure it. System colours are resolved first.
#include "platform/TColor.h"

// Relative luminance of the colour, 0 (black) to 1 (white).
double RelativeLuminance(TColor color);
double ContrastRatio(TColor a, TColor b);

// The caption colour of a disabled control whose enabled caption is text on
// back: between the two, at the square root of their contrast, so that it
// always reads dimmer than an enabled caption, on light and dark faces alike.
TColor DisabledTextColor(TColor text, TColor back);

// wanted where it reads on back (a contrast of at least 3); otherwise wanted
// mixed with fallback (a colour known to read there, such as the text beside
// it) as little as it takes to read, or fallback itself.
TColor ReadableColor(TColor wanted, TColor back, TColor fallback);
