#pragma once

#include <string>
#include <string_view>

namespace hanamizu {

// Text in a narrow code page (the system's ANSI code page, Shift-JIS on Japanese systems) to
// and from the UTF-8 that the core works in.
class AnsiCodec {
 public:
  virtual ~AnsiCodec() = default;
  // Never fails: bytes that are not valid in the code page become U+FFFD.
  virtual std::string ToUtf8(std::string_view ansi) const = 0;
  // Throws AppError when a character has no form in the code page.
  virtual std::string FromUtf8(std::string_view utf8) const = 0;
};

}  // namespace hanamizu
