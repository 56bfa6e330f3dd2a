#include "platform/win32/win32_screen.h"

#include <windows.h>

#include <cmath>

#include "platform/win32/win32_handles.h"

namespace hanamizu::win32 {

int ScreenDpi() {
  const ScreenDc screen(GetDC(nullptr));
  const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSX) : 0;
  return dpi > 0 ? dpi : 96;
}

int TwipsToPixels(float twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

float PixelsToTwips(int pixels, int dpi) {
  return static_cast<float>(static_cast<double>(pixels) * 1440.0 / dpi);
}

TwipsSize ScreenSizeTwips() {
  const int dpi = ScreenDpi();
  return {PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), dpi),
          PixelsToTwips(GetSystemMetrics(SM_CYSCREEN), dpi)};
}

}  // namespace hanamizu::win32
