#include "win32/win32_screenshot.h"

#include <stdexcept>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "win32/win32_test_support.h"

namespace hanamizu::win32::testing {
namespace {

// A window's device context from GetWindowDC, released to the window it came from.
class WindowDc {
 public:
  WindowDc(HWND window, HDC dc) : window_(window), dc_(dc) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace

COLORREF WindowImage::ClientPixel(int x, int y) const {
  const uint32_t rgb =
      pixels[static_cast<size_t>(client_origin.y + y) * width + client_origin.x + x];
  return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

WindowImage CaptureWindow(HWND window) {
  RECT outer{};
  GetWindowRect(window, &outer);
  WindowImage image;
  image.width = outer.right - outer.left;
  image.height = outer.bottom - outer.top;
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  image.client_origin = {origin.x - outer.left, origin.y - outer.top};

  const ScreenDc screen(GetDC(nullptr));
  const MemoryDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const BitmapHandle bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap) throw std::runtime_error("cannot make a bitmap for the window");
  const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
  // From the window's own device context, frame included: what it has painted, not what the
  // shared display shows (Wine's PrintWindow leaves out child windows).
  const WindowDc source(window, GetWindowDC(window));
  const BOOL printed =
      source && BitBlt(memory.get(), 0, 0, image.width, image.height, source.get(), 0, 0, SRCCOPY);
  GdiFlush();
  if (printed && bits) {
    const auto* source = static_cast<const uint32_t*>(bits);
    image.pixels.assign(source, source + static_cast<size_t>(image.width) * image.height);
    for (auto& pixel : image.pixels) pixel &= 0xFFFFFF;
  }
  SelectObject(memory.get(), old);
  if (image.pixels.empty()) throw std::runtime_error("cannot capture the window");
  return image;
}

void SaveBmp(const WindowImage& image, const std::string& path) {
  const int row = (image.width * 3 + 3) & ~3;
  const DWORD data_size = static_cast<DWORD>(row * image.height);
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + data_size;
  info.biSize = sizeof info;
  info.biWidth = image.width;
  info.biHeight = image.height;  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biSizeImage = data_size;
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  for (int y = image.height - 1; y >= 0; --y) {
    std::string line(static_cast<size_t>(row), '\0');
    for (int x = 0; x < image.width; ++x) {
      const uint32_t pixel = image.pixels[static_cast<size_t>(y) * image.width + x];
      line[x * 3] = static_cast<char>(pixel & 0xFF);
      line[x * 3 + 1] = static_cast<char>((pixel >> 8) & 0xFF);
      line[x * 3 + 2] = static_cast<char>((pixel >> 16) & 0xFF);
    }
    bytes += line;
  }
  WriteBytes(path, bytes);
}

std::string ArtifactDirectory() {
  const std::string dir = ExecutableDirectory() + "\\artifacts";
  CreateDirectoryW(Widen(dir).c_str(), nullptr);
  return dir;
}

}  // namespace hanamizu::win32::testing
