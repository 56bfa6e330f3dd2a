#pragma once

#include <string>
#include <string_view>

namespace hanamizu {

// The routines that count characters work on UTF-16 code units, one per character of the
// Japanese texts the launcher handles. Invalid UTF-8 bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// Removes leading and trailing blanks (U+0020 only).
std::string TrimBlanks(std::string_view text);

// Lower case for ASCII and full-width Latin letters; other characters stay.
std::u16string ToLowerLatin(std::u16string_view text);

}  // namespace hanamizu
