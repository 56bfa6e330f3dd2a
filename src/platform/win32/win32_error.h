#pragma once

#include <cstdint>
#include <string>

#include "common/app_error.h"

namespace hanamizu::win32 {

// The error for a Win32 failure code, described by the system in the user's language; a "%1" in
// the system's text stands for `subject` (a file's name, say).
AppError Win32Error(uint32_t code, const std::string& subject = "");

// The error for the calling thread's last Win32 failure.
AppError LastWin32Error();

// The last Win32 failure of an operation on a file or folder, which the description names.
AppError FileError(const std::string& path);

}  // namespace hanamizu::win32
