#include "platform/win32/win32_system.h"

#include <windows.h>

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

void Win32SystemServices::EndProcess() {
  ExitProcess(0);
}

}  // namespace hanamizu::win32
