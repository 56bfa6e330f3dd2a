#include "launcher/splash.h"

namespace hanamizu {

void Center_Form(SplashWindow& window, TwipsSize screen) {
  const float left = (screen.width - window.OuterSize().width) / 2.0f;
  window.MoveLeft(left);
  const float top = (screen.height - window.OuterSize().height) / 2.0f;
  window.MoveTop(top);
}

std::unique_ptr<SplashWindow> fSprash_Load(UserInterface& ui, const std::string& oem_title) {
  std::unique_ptr<SplashWindow> window = ui.CreateSplashWindow();
  Center_Form(*window, ui.ScreenSize());
  window->SetTitleLabelText(oem_title + window->TitleLabelText());
  return window;
}

}  // namespace hanamizu
