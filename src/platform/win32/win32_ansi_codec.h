#pragma once

#include <cstdint>

#include "platform/ansi_codec.h"

namespace hanamizu::win32 {

// A Windows code page; by default the system's ANSI code page (CP_ACP).
class Win32AnsiCodec : public AnsiCodec {
 public:
  explicit Win32AnsiCodec(uint32_t code_page = 0) : code_page_(code_page) {}
  std::string FromUtf8(std::string_view utf8) const override;

 protected:
  std::optional<std::string> Character(std::string_view bytes) const override;

 private:
  uint32_t code_page_;
};

}  // namespace hanamizu::win32
