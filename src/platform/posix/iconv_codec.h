#pragma once

#include <iconv.h>

#include <string>

#include "platform/ansi_codec.h"

namespace hanamizu::posix {

// A narrow code page by its iconv name, e.g. "CP932".
class IconvCodec : public AnsiCodec {
 public:
  explicit IconvCodec(std::string code_page);
  IconvCodec(const IconvCodec&) = delete;
  IconvCodec& operator=(const IconvCodec&) = delete;
  ~IconvCodec() override;
  std::string FromUtf8(std::string_view utf8) const override;

 protected:
  std::optional<std::string> Character(std::string_view bytes) const override;

 private:
  std::string code_page_;
  iconv_t to_utf8_;
};

}  // namespace hanamizu::posix
