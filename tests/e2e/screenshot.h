#pragma once

// Saves what a window shows on screen as a 24-bit .bmp file, for looking at a failed test.

#include <windows.h>

#include <string>

namespace hanamizu::e2e {

// Copies the window's screen area (frame included). Returns false when nothing could be saved.
bool SaveScreenshot(HWND window, const std::string& bmp_path);

}  // namespace hanamizu::e2e
