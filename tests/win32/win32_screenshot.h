#pragma once

// What a window looks like, as pixels, for checks and for people to look at.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hanamizu::win32::testing {

struct WindowImage {
  int width = 0;
  int height = 0;
  POINT client_origin{};         // where the client area starts in the image
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top-down rows

  // The colour at a point of the client area.
  COLORREF ClientPixel(int x, int y) const;
};

// The whole window, frame included, as the window paints itself.
WindowImage CaptureWindow(HWND window);

// A 24-bit BMP file.
void SaveBmp(const WindowImage& image, const std::string& path);

// The folder for pictures the tests leave behind: "artifacts" beside the test executable.
std::string ArtifactDirectory();

}  // namespace hanamizu::win32::testing
