#include "platform/win32/win32_ansi_codec.h"

#include <windows.h>

#include "common/app_error.h"
#include "platform/shift_jis.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {

std::optional<std::string> Win32AnsiCodec::Character(std::string_view bytes) const {
  wchar_t wide[2];
  const int length = MultiByteToWideChar(code_page_, MB_ERR_INVALID_CHARS, bytes.data(),
                                         static_cast<int>(bytes.size()), wide, 2);
  if (length == 0) return std::nullopt;
  return Narrow(std::wstring_view(wide, static_cast<size_t>(length)));
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
