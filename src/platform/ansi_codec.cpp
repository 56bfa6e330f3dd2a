#include "platform/ansi_codec.h"

#include <cstdint>

namespace hanamizu {

std::string AnsiCodec::ToUtf8(std::string_view ansi) const {
  std::string utf8;
  utf8.reserve(ansi.size());
  for (size_t i = 0; i < ansi.size();) {
    const auto byte = [&](size_t at) {
      return at < ansi.size() ? static_cast<uint8_t>(ansi[at]) : 0;
    };
    const uint8_t first = byte(i), second = byte(i + 1);
    size_t length = 0;
    if (first < 0x80) {
      utf8 += static_cast<char>(first);
      ++i;
      continue;
    }
    if (first >= 0xA1 && first <= 0xDF) length = 1;
    if (((first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xFC)) && second >= 0x40 &&
        second <= 0xFC && second != 0x7F) {
      length = 2;
    }
    const std::optional<std::string> character =
        length ? Character(ansi.substr(i, length)) : std::nullopt;
    utf8 += character.value_or("\xEF\xBF\xBD");  // U+FFFD
    i += length ? length : 1;
  }
  return utf8;
}

}  // namespace hanamizu
