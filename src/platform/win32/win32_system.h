#pragma once

#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace hanamizu::win32 {

class Win32SystemServices : public SystemServices {
 public:
  std::string CommandLineArguments() override;
  LocalTime LocalNow() override;
  double MonotonicSeconds() override;
  int64_t UnixTime() override;
  std::string LocalAppDataFolder() override;
  uint32_t ProcessId() override { return GetCurrentProcessId(); }
  uint64_t RandomNumber() override;
  std::optional<std::string> EnvironmentVariable(const std::string& name) override;
  [[noreturn]] void EndProcess() override;
};

// What follows the program's name (quoted or not) and the blanks after it, unchanged.
std::wstring ArgumentsOf(const std::wstring& command_line);

}  // namespace hanamizu::win32
