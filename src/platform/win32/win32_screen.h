#pragma once

// Twips (1/1440 inch) against pixels at the screen's real resolution.

#include "platform/splash.h"

namespace hanamizu::win32 {

// Pixels per logical inch of the screen (96 at 100 %).
int ScreenDpi();

int TwipsToPixels(float twips, int dpi);
float PixelsToTwips(int pixels, int dpi);

// The primary screen's size in twips.
TwipsSize ScreenSizeTwips();

}  // namespace hanamizu::win32
