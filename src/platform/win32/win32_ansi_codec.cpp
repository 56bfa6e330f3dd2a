#include "platform/win32/win32_ansi_codec.h"

#include <windows.h>

#include "common/app_error.h"
#include "platform/shift_jis.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {

std::string Win32AnsiCodec::ToUtf8(std::string_view ansi) const {
  if (ansi.empty()) return {};
  // Without MB_ERR_INVALID_CHARS the system puts a replacement for invalid bytes.
  const int size = static_cast<int>(ansi.size());
  const int length = MultiByteToWideChar(code_page_, 0, ansi.data(), size, nullptr, 0);
  if (length == 0) throw LastWin32Error();
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(code_page_, 0, ansi.data(), size, wide.data(), length);
  return Narrow(wide);
}

std::string Win32AnsiCodec::FromUtf8(std::string_view utf8) const {
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  BOOL lossy = FALSE;
  const int length = WideCharToMultiByte(code_page_, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                         nullptr, 0, nullptr, &lossy);
  if (length == 0) throw LastWin32Error();
  if (lossy) {
    throw AppError(kErrorInternal, "cannot be written in code page " + std::to_string(code_page_) +
                                       ": \"" + std::string(utf8) + "\"");
  }
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(code_page_, WC_NO_BEST_FIT_CHARS, wide.data(), size, text.data(), length,
                      nullptr, nullptr);
  return text;
}

}  // namespace hanamizu::win32

namespace hanamizu {

std::unique_ptr<AnsiCodec> MakeShiftJisCodec() {
  return std::make_unique<win32::Win32AnsiCodec>(932);
}

}  // namespace hanamizu
