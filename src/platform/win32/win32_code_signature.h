#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace hanamizu::win32 {

// The Authenticode signature of the open file (read through file, which path names), as
// WinVerifyTrust judges it, with no window and no fetch from the network.
CodeSignature VerifyCodeSignature(HANDLE file, const std::string& path);

}  // namespace hanamizu::win32
