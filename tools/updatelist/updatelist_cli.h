#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/ansi_codec.h"

namespace hanamizu::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;        // the file could not be read or written
inline constexpr int kExitBadArguments = 2;  // nothing was written

// The publisher's tool for update lists; args are UTF-8 without the program name:
//   write <file> [--mode N] --version MAJOR.MINOR.BUILD --location URL/ --package NAME.exe
//   show <file>
int RunUpdateList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                  const AnsiCodec& shift_jis);

}  // namespace hanamizu::tools
