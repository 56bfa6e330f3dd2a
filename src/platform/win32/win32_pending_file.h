#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace hanamizu::win32 {

// A file written under a unique temporary name in its target's directory and moved over the
// target (MoveFileExW, replacing) on commit; removed again when dropped without a commit.
std::unique_ptr<PendingFile> CreateWin32PendingFile(const std::string& target);

}  // namespace hanamizu::win32
