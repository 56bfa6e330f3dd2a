#pragma once

#include <string>

#include "platform/ansi_codec.h"

namespace hanamizu::posix {

// A narrow code page by its iconv name, e.g. "CP932".
class IconvCodec : public AnsiCodec {
 public:
  explicit IconvCodec(std::string code_page) : code_page_(std::move(code_page)) {}
  std::string ToUtf8(std::string_view ansi) const override;
  std::string FromUtf8(std::string_view utf8) const override;

 private:
  std::string code_page_;
};

}  // namespace hanamizu::posix
