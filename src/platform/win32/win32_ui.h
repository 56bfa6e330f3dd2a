#pragma once

#include "platform/platform.h"

namespace hanamizu::win32 {

class Win32UserInterface : public UserInterface {
 public:
  MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                            MessageButtons buttons, MessageIcon icon) override;
  void DefaultBeep() override;
  void DoEvents() override;
  std::unique_ptr<SplashWindow> CreateSplashWindow() override;
  TwipsSize ScreenSize() override;
};

}  // namespace hanamizu::win32
