#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace hanamizu::win32 {

// TARGET.part, with TARGET.part.txt saying what it is (url=, validator=, length= lines, UTF-8);
// its age is that of its last write. One launcher at a time has it (a mutex named for the
// target), open with others' writes denied until its commit moves it over the target
// (MoveFileExW, replacing), which is then held for reading only.
std::unique_ptr<PartialFile> OpenWin32PartialFile(const std::string& target);

}  // namespace hanamizu::win32
