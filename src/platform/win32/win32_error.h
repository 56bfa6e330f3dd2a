#pragma once

#include <cstdint>

#include "common/app_error.h"

namespace hanamizu::win32 {

// The error for a Win32 failure code, described by the system in the user's language.
AppError Win32Error(uint32_t code);

// The error for the calling thread's last Win32 failure.
AppError LastWin32Error();

}  // namespace hanamizu::win32
