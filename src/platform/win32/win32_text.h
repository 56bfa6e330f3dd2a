#pragma once

// Conversions at the boundary of the Win32 backend: UTF-8 inside, UTF-16 for the W functions,
// the ANSI code page (Shift-JIS on Japanese systems) for the A functions and ANSI files.

#include <string>
#include <string_view>

namespace hanamizu::win32 {

std::wstring Widen(std::string_view utf8);
// A path for the W file functions: one too long for MAX_PATH gets the "\\?\" prefix, which lifts
// the limit.
std::wstring FilePath(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
std::string Utf8ToAnsi(std::string_view utf8);

}  // namespace hanamizu::win32
