#include "platform/win32/win32_ini.h"

#include <windows.h>

#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {

std::string Win32IniReader::ReadProfileString(const std::string& section, const std::string& key,
                                              const std::string& default_value,
                                              const std::string& path) {
  // 255 characters: a longer value comes back cut to its first 254. The file's own bytes are in
  // the ANSI code page; its name goes to the system as it is.
  wchar_t buffer[255] = {};
  const DWORD length =
      GetPrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(),
                               Widen(default_value).c_str(), buffer, 255, Widen(path).c_str());
  return Narrow(std::wstring_view(buffer, length));
}

}  // namespace hanamizu::win32
