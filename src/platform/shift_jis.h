#pragma once

#include <memory>

#include "platform/ansi_codec.h"

namespace hanamizu {

// Code page 932 (Shift-JIS as Windows has it), whatever the system's own code page: the
// publisher tool writes lists for Japanese systems, and tests read them as those systems do.
std::unique_ptr<AnsiCodec> MakeShiftJisCodec();

}  // namespace hanamizu
