#include "platform/win32/win32_system.h"

#include <windows.h>
#include <bcrypt.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {

std::wstring ArgumentsOf(const std::wstring& command_line) {
  size_t i = 0;
  if (!command_line.empty() && command_line[0] == L'"') {
    const size_t closing = command_line.find(L'"', 1);
    i = closing == std::wstring::npos ? command_line.size() : closing + 1;
  } else {
    while (i < command_line.size() && command_line[i] != L' ' && command_line[i] != L'\t') ++i;
  }
  while (i < command_line.size() && (command_line[i] == L' ' || command_line[i] == L'\t')) ++i;
  return command_line.substr(i);
}

std::string Win32SystemServices::CommandLineArguments() {
  return Narrow(ArgumentsOf(GetCommandLineW()));
}

LocalTime Win32SystemServices::LocalNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

double Win32SystemServices::MonotonicSeconds() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int64_t Win32SystemServices::UnixTime() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const int64_t ticks =
      static_cast<int64_t>(uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime);
  return (ticks - 116'444'736'000'000'000) / 10'000'000;  // 100 ns units since 1601
}

std::optional<std::string> Win32SystemServices::EnvironmentVariable(const std::string& name) {
  const std::wstring wide_name = Widen(name);
  const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), value.data(), size);
  value.resize(length);
  return Narrow(value);
}

void Win32SystemServices::EndProcess() {
  ExitProcess(0);
}

uint64_t Win32SystemServices::RandomNumber() {
  uint64_t number = 0;
  const NTSTATUS status = BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&number), sizeof number,
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (!BCRYPT_SUCCESS(status)) throw Win32Error(static_cast<uint32_t>(status));
  return number;
}

std::string Win32SystemServices::LocalAppDataFolder() {
  wchar_t* path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &path);
  const std::wstring folder = SUCCEEDED(result) ? path : L"";
  CoTaskMemFree(path);
  if (FAILED(result)) throw Win32Error(static_cast<uint32_t>(result));
  return Narrow(folder);
}

}  // namespace hanamizu::win32
