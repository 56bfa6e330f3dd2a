#include "message_icon.h"

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "ui_probe.h"

namespace hanamizu::e2e {
namespace {

struct MemoryDcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct ObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, ObjectDeleter>;

// Top-down 32-bit pixels of one area.
struct Pixels {
  LONG width = 0;
  LONG height = 0;
  std::vector<DWORD> data;
};

// A memory drawing surface whose pixels can be read directly.
class Surface {
 public:
  Surface(LONG width, LONG height) : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
    if (bitmap_) SelectObject(dc_.get(), bitmap_.get());
    pixels_.width = width;
    pixels_.height = height;
  }
  bool ok() const { return dc_ && bitmap_; }
  HDC dc() const { return dc_.get(); }
  Pixels Read() {
    GdiFlush();
    const auto* first = static_cast<const DWORD*>(bits_);
    pixels_.data.assign(first, first + pixels_.width * pixels_.height);
    return pixels_;
  }

 private:
  MemoryDc dc_;
  GdiObject bitmap_;
  void* bits_ = nullptr;
  Pixels pixels_;
};

HWND IconControl(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (IsWindowVisible(child) && lstrcmpiW(name, L"Static") == 0 &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      return child;
    }
  }
  return nullptr;
}

std::optional<Pixels> Capture(HWND control) {
  RECT rect{};
  if (!GetWindowRect(control, &rect)) return std::nullopt;
  Surface surface(rect.right - rect.left, rect.bottom - rect.top);
  HDC screen = GetDC(nullptr);
  const bool copied =
      surface.ok() && BitBlt(surface.dc(), 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                             screen, rect.left, rect.top, SRCCOPY);
  ReleaseDC(nullptr, screen);
  if (!copied) return std::nullopt;
  return surface.Read();
}

// The icon drawn over the control's area on the background that the shot shows in its corner.
std::optional<Pixels> Render(LPCWSTR icon_id, const Pixels& shot) {
  Surface surface(shot.width, shot.height);
  if (!surface.ok()) return std::nullopt;
  const DWORD corner = shot.data.front();
  GdiObject brush(CreateSolidBrush(RGB(GetBValue(corner), GetGValue(corner), GetRValue(corner))));
  RECT all{0, 0, shot.width, shot.height};
  FillRect(surface.dc(), &all, static_cast<HBRUSH>(brush.get()));
  DrawIconEx(surface.dc(), 0, 0, LoadIconW(nullptr, icon_id), shot.width, shot.height, 0, nullptr,
             DI_NORMAL);
  return surface.Read();
}

bool Matches(const Pixels& a, const Pixels& b) {
  if (a.data.size() != b.data.size()) return false;
  size_t same = 0;
  for (size_t i = 0; i < a.data.size(); ++i) {
    if ((a.data[i] & 0xFFFFFF) == (b.data[i] & 0xFFFFFF)) ++same;
  }
  return same * 100 >= a.data.size() * 98;  // all but a few edge pixels
}

std::optional<StandardIcon> Identify(HWND control) {
  const std::optional<Pixels> shot = Capture(control);
  if (!shot || shot->data.empty()) return std::nullopt;
  const std::pair<LPCWSTR, StandardIcon> candidates[] = {
      {IDI_ASTERISK, StandardIcon::kInformation},
      {IDI_EXCLAMATION, StandardIcon::kExclamation},
      {IDI_HAND, StandardIcon::kError},
      {IDI_QUESTION, StandardIcon::kQuestion}};
  for (const auto& [id, kind] : candidates) {
    const std::optional<Pixels> drawn = Render(id, *shot);
    if (drawn && Matches(*shot, *drawn)) return kind;
  }
  return std::nullopt;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, StandardIcon icon) {
  switch (icon) {
    case StandardIcon::kNone:
      return out << "no icon";
    case StandardIcon::kInformation:
      return out << "information";
    case StandardIcon::kExclamation:
      return out << "exclamation";
    case StandardIcon::kError:
      return out << "error";
    case StandardIcon::kQuestion:
      return out << "question";
    case StandardIcon::kUnknown:
      break;
  }
  return out << "an unknown icon";
}

StandardIcon ShownIcon(HWND box, std::chrono::milliseconds limit) {
  // Message boxes keep their icon control even without an icon; it then holds none.
  const HWND control = IconControl(box);
  if (!control || !HasIcon(box)) return StandardIcon::kNone;
  return WaitFor([&] { return Identify(control); }, limit).value_or(StandardIcon::kUnknown);
}

}  // namespace hanamizu::e2e
