#pragma once

// UTF-8 and UTF-16 text for the probe's interface, plus the ANSI code page for files that the
// tests write as an installer on a Japanese system would.

#include <string>
#include <string_view>

namespace hanamizu::e2e {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// UTF-8 to the given Windows code page (932 for Shift-JIS).
std::string ToCodePage(std::string_view utf8, unsigned code_page);

}  // namespace hanamizu::e2e
