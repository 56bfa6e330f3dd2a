#include "platform/win32/win32_ini.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {

std::string Win32IniReader::ReadProfileString(const std::string& section, const std::string& key,
                                              const std::string& default_value,
                                              const std::string& path) {
  // 255 characters: a longer value comes back cut to its first 254 bytes.
  char buffer[255] = {};
  GetPrivateProfileStringA(Utf8ToAnsi(section).c_str(), Utf8ToAnsi(key).c_str(),
                           Utf8ToAnsi(default_value).c_str(), buffer, sizeof buffer,
                           Utf8ToAnsi(path).c_str());
  return AnsiToUtf8(std::string(buffer, strnlen(buffer, sizeof buffer)));
}

}  // namespace hanamizu::win32
