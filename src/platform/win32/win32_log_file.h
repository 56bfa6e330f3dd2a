#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace hanamizu::win32 {

// The launcher's log at path, its missing folders made; nothing when it cannot be opened. Open for
// appending with everything shared: Notepad reads it while it is open, and another launcher
// appends to it and renames it as the previous log.
std::unique_ptr<LogFile> OpenWin32LogFile(const std::string& path) noexcept;

}  // namespace hanamizu::win32
