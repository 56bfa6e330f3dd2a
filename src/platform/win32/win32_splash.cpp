#include "platform/win32/win32_splash.h"

#include <commctrl.h>

#include <cmath>
#include <iterator>
#include <utility>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_screen.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

constexpr wchar_t kClassName[] = L"HanamizuSplash";
constexpr wchar_t kCaption[] = L"起動中・・・";
constexpr wchar_t kFontFace[] = L"ＭＳ Ｐゴシック";
constexpr double kFontPoints = 11.25;

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_DISABLED;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

// Control identifiers; the window procedure tells the labels' alignment by them.
constexpr int kFrame1 = 1;
constexpr int kImage1 = 2;
constexpr int kLabel1 = 3;
constexpr int kLblKidochu = 4;
constexpr int kProgress = 5;
constexpr int kLaterButton = 6;

struct TwipsRect {
  int left, top, width, height;
};
// Design layout. The controls inside Frame1 are given relative to it.
constexpr int kClientWidth = 5625;
constexpr int kClientHeight = 1605;
constexpr TwipsRect kFrame1Rect{60, 0, 5475, 1515};
constexpr TwipsRect kImage1Rect{120, 240, 480, 480};
constexpr TwipsRect kLabel1Rect{840, 360, 4395, 255};
constexpr TwipsRect kLblKidochuRect{300, 1020, 4875, 255};
// In the frame's space below lblKidochu, while a download runs: the bar, and under it the button,
// centred, 120 below the bar and 120 above the frame's bottom edge. The frame and the window grow
// by what the button adds below the design frame's 1515.
constexpr TwipsRect kProgressRect{300, 1305, 4875, 135};
constexpr int kLaterButtonWidth = 1575;
constexpr TwipsRect kLaterButtonRect{(kFrame1Rect.width - kLaterButtonWidth) / 2,
                                     kProgressRect.top + kProgressRect.height + 120,
                                     kLaterButtonWidth, 375};
constexpr int kLaterButtonGrowth =
    kLaterButtonRect.top + kLaterButtonRect.height + 120 - kFrame1Rect.height;
constexpr int kProgressSteps = 1000;

// One line, clipped at the label's edges, in the label's font on the dialog face colour.
void DrawLabel(const DRAWITEMSTRUCT& item) {
  wchar_t text[1024];
  const int length = GetWindowTextW(item.hwndItem, text, static_cast<int>(std::size(text)));
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
  const HGDIOBJ old_font = font ? SelectObject(item.hDC, font) : nullptr;
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  RECT area = item.rcItem;
  const UINT align = item.CtlID == kLblKidochu ? DT_CENTER : DT_LEFT;
  DrawTextW(item.hDC, text, length, &area, align | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  if (old_font) SelectObject(item.hDC, old_font);
}

// The user's wish to go to work is kept with the window, where LaterPressed reads it.
void MarkLater(HWND window) {
  SetWindowLongPtrW(window, GWLP_USERDATA, 1);
}

// The button takes the focus when clicked: Esc there counts as on the window. Its own procedure
// is kept in its user data.
LRESULT CALLBACK LaterButtonProc(HWND button, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_KEYDOWN && wparam == VK_ESCAPE) {
    MarkLater(GetParent(button));
    return 0;
  }
  const auto own = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_USERDATA));
  return CallWindowProcW(own, button, message, wparam, lparam);
}

LRESULT CALLBACK SplashProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) != kLaterButton || HIWORD(wparam) != BN_CLICKED) break;
      MarkLater(window);
      return 0;
    case WM_KEYDOWN:  // the window's own focus; it takes input only while the button shows
      if (wparam != VK_ESCAPE) break;
      MarkLater(window);
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlType != ODT_STATIC) break;
      DrawLabel(item);
      return TRUE;
    }
    case WM_CLOSE:
      return 0;  // only the product launch unloads it
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void RegisterSplashClass(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = SplashProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  if (!RegisterClassExW(&window_class) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw LastWin32Error();
  }
}

HWND CreateControl(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style,
                   int id, TwipsRect rect, int dpi) {
  // Controls in Frame1 are children of the window itself, offset by the frame's position.
  if (id != kFrame1) {
    rect.left += kFrame1Rect.left;
    rect.top += kFrame1Rect.top;
  }
  HWND control = CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style,
                                 TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi),
                                 TwipsToPixels(rect.width, dpi), TwipsToPixels(rect.height, dpi),
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (!control) throw LastWin32Error();
  return control;
}

// The window's outer size in pixels for a client area of the design's width and this height.
SIZE OuterPixels(int client_height_twips, int dpi) {
  RECT outer{0, 0, TwipsToPixels(kClientWidth, dpi), TwipsToPixels(client_height_twips, dpi)};
  if (!AdjustWindowRectEx(&outer, kStyle, FALSE, kExStyle)) throw LastWin32Error();
  return {outer.right - outer.left, outer.bottom - outer.top};
}

FontHandle CreateLabelFont(int dpi) {
  LOGFONTW font{};
  font.lfHeight = -static_cast<LONG>(std::lround(kFontPoints * dpi / 72.0));
  font.lfWeight = FW_BOLD;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  wcscpy_s(font.lfFaceName, kFontFace);
  FontHandle handle(CreateFontIndirectW(&font));
  if (!handle) throw LastWin32Error();
  return handle;
}

}  // namespace

Win32SplashWindow::Win32SplashWindow() : dpi_(ScreenDpi()), font_(CreateLabelFont(dpi_)) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  icon_ = IconHandle(static_cast<HICON>(
      LoadImageW(instance, kSplashIconResource, IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
  if (!icon_) throw LastWin32Error();
  RegisterSplashClass(instance);

  const SIZE outer = OuterPixels(kClientHeight, dpi_);
  window_ = WindowHandle(CreateWindowExW(kExStyle, kClassName, kCaption, kStyle, 0, 0, outer.cx,
                                         outer.cy, nullptr, nullptr, instance, nullptr));
  if (!window_) throw LastWin32Error();
  const HWND window = window_.get();

  // New children go below the earlier ones: the group box, created last, stays beneath the
  // controls it frames and, clipping its siblings, never paints over them.
  HWND image = CreateControl(window, L"STATIC", nullptr, SS_ICON | SS_REALSIZEIMAGE, kImage1,
                             kImage1Rect, dpi_);
  SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
  title_label_ = CreateControl(window, L"STATIC", L" V4", SS_OWNERDRAW, kLabel1, kLabel1Rect, dpi_);
  status_label_ =
      CreateControl(window, L"STATIC", L"起動中", SS_OWNERDRAW, kLblKidochu, kLblKidochuRect, dpi_);
  frame_ = CreateControl(window, L"BUTTON", nullptr, BS_GROUPBOX | WS_CLIPSIBLINGS, kFrame1,
                         kFrame1Rect, dpi_);
  for (HWND label : {title_label_, status_label_}) {
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  }
}

TwipsSize Win32SplashWindow::OuterSize() {
  RECT rect{};
  if (!GetWindowRect(window_.get(), &rect)) throw LastWin32Error();
  return {PixelsToTwips(rect.right - rect.left, dpi_), PixelsToTwips(rect.bottom - rect.top, dpi_)};
}

void Win32SplashWindow::MoveLeft(float left_twips) {
  RECT rect{};
  if (!GetWindowRect(window_.get(), &rect)) throw LastWin32Error();
  if (!SetWindowPos(window_.get(), nullptr, TwipsToPixels(left_twips, dpi_), rect.top, 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    throw LastWin32Error();
  }
}

void Win32SplashWindow::MoveTop(float top_twips) {
  RECT rect{};
  if (!GetWindowRect(window_.get(), &rect)) throw LastWin32Error();
  if (!SetWindowPos(window_.get(), nullptr, rect.left, TwipsToPixels(top_twips, dpi_), 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    throw LastWin32Error();
  }
}

std::string Win32SplashWindow::TitleLabelText() {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(title_label_)) + 1, L'\0');
  text.resize(static_cast<size_t>(
      GetWindowTextW(title_label_, text.data(), static_cast<int>(text.size()))));
  return Narrow(text);
}

void Win32SplashWindow::SetTitleLabelText(const std::string& text) {
  if (!SetWindowTextW(title_label_, Widen(text).c_str())) throw LastWin32Error();
}

void Win32SplashWindow::SetStatusText(const std::string& text) {
  if (!SetWindowTextW(status_label_, Widen(text).c_str())) throw LastWin32Error();
}

void Win32SplashWindow::ShowProgress(uint64_t received, std::optional<uint64_t> announced) {
  if (!progress_) {
    const INITCOMMONCONTROLSEX classes{sizeof classes, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);
    progress_ = CreateControl(window_.get(), PROGRESS_CLASSW, nullptr, PBS_SMOOTH, kProgress,
                              kProgressRect, dpi_);
    // Above the group box, which would otherwise paint over it.
    SetWindowPos(progress_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(progress_, PBM_SETRANGE32, 0, kProgressSteps);
    ShowLaterButton();
  }
  // Without an announced length the bar runs round, a step each time.
  const LRESULT position =
      announced ? static_cast<LRESULT>(*announced ? kProgressSteps * (received * 1.0 / *announced)
                                                  : kProgressSteps)
                : (SendMessageW(progress_, PBM_GETPOS, 0, 0) + kProgressSteps / 20) %
                      (kProgressSteps + 1);
  SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32SplashWindow::HideProgress() {
  if (later_) {
    DestroyWindow(std::exchange(later_, nullptr));
    EnableWindow(window_.get(), FALSE);
    Grow(0);
  }
  if (progress_) DestroyWindow(std::exchange(progress_, nullptr));
  if (window_) SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

bool Win32SplashWindow::LaterPressed() {
  return window_ && GetWindowLongPtrW(window_.get(), GWLP_USERDATA) != 0;
}

// The design window takes no input; with the button it must, and the user, who has just said yes
// to the download, finds the focus on it.
void Win32SplashWindow::ShowLaterButton() {
  const HWND window = window_.get();
  Grow(kLaterButtonGrowth);
  later_ = CreateControl(window, L"BUTTON", Widen(kLaterButtonText).c_str(),
                         BS_PUSHBUTTON | WS_TABSTOP, kLaterButton, kLaterButtonRect, dpi_);
  SetWindowPos(later_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageW(later_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  SetWindowLongPtrW(later_, GWLP_USERDATA, GetWindowLongPtrW(later_, GWLP_WNDPROC));
  SetWindowLongPtrW(later_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LaterButtonProc));
  EnableWindow(window, TRUE);
  SetForegroundWindow(window);
  SetFocus(later_);
}

// The client area and Frame1 this many twips taller than the design, the top-left kept.
void Win32SplashWindow::Grow(int twips) {
  const SIZE outer = OuterPixels(kClientHeight + twips, dpi_);
  const UINT flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(window_.get(), nullptr, 0, 0, outer.cx, outer.cy, flags);
  SetWindowPos(frame_, nullptr, 0, 0, TwipsToPixels(kFrame1Rect.width, dpi_),
               TwipsToPixels(kFrame1Rect.height + twips, dpi_), flags);
}

void Win32SplashWindow::ShowModeless() {
  ShowWindow(window_.get(), SW_SHOWNORMAL);
  UpdateWindow(window_.get());
}

void Win32SplashWindow::Repaint() {
  RedrawWindow(window_.get(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

uintptr_t Win32SplashWindow::Handle() {
  return reinterpret_cast<uintptr_t>(window_.get());
}

void Win32SplashWindow::Unload() {
  HideProgress();
  frame_ = nullptr;
  title_label_ = nullptr;
  status_label_ = nullptr;
  window_.reset();
}

}  // namespace hanamizu::win32
