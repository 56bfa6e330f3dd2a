#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/splash.h"

namespace hanamizu {

// Moves the window to the middle of the screen: left first, then top, in single precision and
// unclamped, so a window larger than the screen gets a negative position.
void Center_Form(SplashWindow& window, TwipsSize screen);

// Loads fSprash: creates it (hidden), centres it and puts the title before Label1's design
// text " V4". Errors pass to the caller.
std::unique_ptr<SplashWindow> fSprash_Load(UserInterface& ui, const std::string& oem_title);

}  // namespace hanamizu
