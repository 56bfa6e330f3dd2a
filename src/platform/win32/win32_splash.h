#pragma once

#include <windows.h>

#include "platform/splash.h"
#include "platform/win32/win32_handles.h"

namespace hanamizu::win32 {

// Name of the splash icon resource in the executable (32 x 32, 16 colours).
inline constexpr wchar_t kSplashIconResource[] = L"HANAMIZU_SPLASH";

// fSprash: a disabled window with a fixed dialog frame, the group box Frame1, the icon Image1
// and the labels Label1 and lblKidochu, laid out in twips at the screen's resolution. It is
// created hidden and belongs to the thread that created it. While a download shows, the frame
// and the window are taller for the button kLaterButtonText, and the window takes input; whether
// the button (or Esc) was pressed is kept in the window's user data.
class Win32SplashWindow : public SplashWindow {
 public:
  Win32SplashWindow();

  TwipsSize OuterSize() override;
  void MoveLeft(float left_twips) override;
  void MoveTop(float top_twips) override;
  std::string TitleLabelText() override;
  void SetTitleLabelText(const std::string& text) override;
  void SetStatusText(const std::string& text) override;
  void ShowProgress(uint64_t received, std::optional<uint64_t> announced) override;
  void HideProgress() override;
  bool LaterPressed() override;
  void ShowModeless() override;
  void Repaint() override;
  uintptr_t Handle() override;
  void Unload() override;

 private:
  void ShowLaterButton();
  void Grow(int twips);

  int dpi_;
  // Declared before the window, which uses them, so that they outlive it.
  FontHandle font_;
  IconHandle icon_;
  WindowHandle window_;
  HWND title_label_ = nullptr;
  HWND status_label_ = nullptr;
  HWND frame_ = nullptr;
  HWND progress_ = nullptr;  // these two while a download runs
  HWND later_ = nullptr;
};

}  // namespace hanamizu::win32
