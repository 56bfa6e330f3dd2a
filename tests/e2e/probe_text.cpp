#include "probe_text.h"

#include <windows.h>

#include <stdexcept>

namespace hanamizu::e2e {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int count =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (count <= 0) throw std::runtime_error("text is not UTF-8");
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, wide.data(), count);
  return wide;
}

namespace {

std::string FromWide(std::wstring_view wide, UINT code_page) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  // A character the code page lacks would silently become "?": a test must not write that.
  BOOL lossy = FALSE;
  BOOL* lossy_out = code_page == CP_UTF8 ? nullptr : &lossy;
  const int count =
      WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, lossy_out);
  if (count <= 0 || lossy) throw std::runtime_error("text cannot be converted");
  std::string narrow(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), size, narrow.data(), count, nullptr, nullptr);
  return narrow;
}

}  // namespace

std::string Utf8(std::wstring_view wide) {
  return FromWide(wide, CP_UTF8);
}

std::string ToCodePage(std::string_view utf8, unsigned code_page) {
  return FromWide(Wide(utf8), code_page);
}

}  // namespace hanamizu::e2e
