#include "platform/win32/win32_ui.h"

#include <windows.h>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_messages.h"
#include "platform/win32/win32_screen.h"
#include "platform/win32/win32_splash.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {

MessageAnswer Win32UserInterface::ShowMessage(const std::string& text, const std::string& caption,
                                              MessageButtons buttons, MessageIcon icon) {
  // Task-modal: the launcher's other windows take no input while the box is up.
  UINT style = MB_TASKMODAL | MB_SETFOREGROUND;
  style |= buttons == MessageButtons::kOkCancel ? MB_OKCANCEL : MB_OK;
  if (icon == MessageIcon::kInformation) style |= MB_ICONINFORMATION;
  if (icon == MessageIcon::kExclamation) style |= MB_ICONEXCLAMATION;
  const int answer = MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), style);
  if (answer == 0) throw LastWin32Error();
  return answer == IDOK ? MessageAnswer::kOk : MessageAnswer::kCancel;
}

void Win32UserInterface::DefaultBeep() {
  MessageBeep(MB_OK);
}

void Win32UserInterface::DoEvents() {
  HandleWaitingMessages();
}

std::unique_ptr<SplashWindow> Win32UserInterface::CreateSplashWindow() {
  return std::make_unique<Win32SplashWindow>();
}

TwipsSize Win32UserInterface::ScreenSize() {
  return ScreenSizeTwips();
}

}  // namespace hanamizu::win32
