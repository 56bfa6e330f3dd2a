#pragma once

#include <string>

#include "common/app_error.h"
#include "platform/platform.h"

namespace hanamizu {

// The description, a blank, the number and the routine's tag, e.g. "... 53 (Shell_WT)".
std::string StandardErrorMessage(const AppError& error, const std::string& routine);

// The standard error message in a box with the application title, OK only, no icon.
void ShowStandardError(UserInterface& ui, const AppError& error, const std::string& routine);

// What the user sees of an error that no trap caught, just before the launcher ends.
std::string UnhandledErrorMessage(const AppError& error);

}  // namespace hanamizu
