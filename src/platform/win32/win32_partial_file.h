#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace hanamizu::win32 {

// TARGET.part, with TARGET.part.txt saying what it is (url=, validator=, length= lines, UTF-8);
// its age is that of its last write. On commit it is moved over the target (MoveFileExW,
// replacing).
std::unique_ptr<PartialFile> OpenWin32PartialFile(const std::string& target);

}  // namespace hanamizu::win32
