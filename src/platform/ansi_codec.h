#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hanamizu {

// Text in the ANSI code page (Shift-JIS on the launcher's systems) to and from the UTF-8 that the
// core works in. One rule decides what is a character, whichever system's table maps it, so the
// launcher and its tests read every byte alike.
class AnsiCodec {
 public:
  virtual ~AnsiCodec() = default;
  // Never fails. ASCII stays as it is; a half-width katakana byte (0xA1-0xDF) and a lead byte
  // (0x81-0x9F, 0xE0-0xFC) with its trail byte (0x40-0xFC but 0x7F) are one character each, read
  // through the system's table. Every other byte, a lead byte without a trail byte included,
  // reads as U+FFFD on its own; so does a character that the table does not assign.
  virtual std::string ToUtf8(std::string_view ansi) const;
  // Throws AppError when a character has no form in the code page.
  virtual std::string FromUtf8(std::string_view utf8) const = 0;

 protected:
  // One character of the code page (one or two bytes) in UTF-8; nothing when it has none.
  virtual std::optional<std::string> Character(std::string_view bytes) const = 0;
};

}  // namespace hanamizu
