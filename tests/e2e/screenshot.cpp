#include "screenshot.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <type_traits>

#include "probe_text.h"

namespace hanamizu::e2e {
namespace {

struct ScreenDcDeleter {
  void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
struct MemoryDcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct BitmapDeleter {
  void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, ScreenDcDeleter>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

}  // namespace

bool SaveScreenshot(HWND window, const std::string& bmp_path) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return false;
  const LONG width = rect.right - rect.left;
  const LONG height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;

  // Rows of 24-bit pixels padded to four bytes, stored bottom-up as .bmp files expect.
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = static_cast<DWORD>((width * 3 + 3) & ~3);
  header.biSizeImage = stride * static_cast<DWORD>(height);

  ScreenDc screen(GetDC(nullptr));
  if (!screen) return false;
  MemoryDc memory(CreateCompatibleDC(screen.get()));
  void* bits = nullptr;
  Bitmap bitmap(CreateDIBSection(screen.get(), reinterpret_cast<BITMAPINFO*>(&header),
                                 DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap) return false;
  const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
  const BOOL copied =
      BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory.get(), previous);
  if (!copied) return false;

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  std::ofstream out(std::filesystem::path(Wide(bmp_path)), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(static_cast<const char*>(bits), header.biSizeImage);
  return static_cast<bool>(out);
}

}  // namespace hanamizu::e2e
