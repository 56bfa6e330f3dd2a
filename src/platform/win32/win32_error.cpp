#include "platform/win32/win32_error.h"

#include <windows.h>

#include <string>

#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

std::wstring SystemDescription(DWORD code, HMODULE module, const std::wstring& subject) {
  wchar_t* buffer = nullptr;
  // Every insert a text may hold names the subject: none is left for the system to guess.
  DWORD_PTR inserts[9];
  for (DWORD_PTR& insert : inserts) insert = reinterpret_cast<DWORD_PTR>(subject.c_str());
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY |
                      (module ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM);
  const DWORD length = FormatMessageW(flags, module, code, 0, reinterpret_cast<wchar_t*>(&buffer),
                                      0, reinterpret_cast<va_list*>(inserts));
  std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

AppError Win32Error(uint32_t code, const std::string& subject) {
  // Internet errors (12000-12999) are described by the WinINet module, not the system.
  HMODULE module = nullptr;
  if (code >= 12000 && code < 13000) module = GetModuleHandleW(L"wininet.dll");
  std::wstring text = SystemDescription(code, module, Widen(subject));
  if (text.empty()) text = L"Windows error " + std::to_wstring(code);
  return AppError(static_cast<int32_t>(code), Narrow(text));
}

AppError LastWin32Error() {
  return Win32Error(GetLastError());
}

AppError FileError(const std::string& path) {
  const AppError error = Win32Error(GetLastError(), path);
  if (error.description().find(path) != std::string::npos) return error;
  return AppError(error.number(), error.description() + " (" + path + ")");
}

}  // namespace hanamizu::win32
