#pragma once

#include "platform/platform.h"

namespace hanamizu::win32 {

// INI values through the system's ANSI profile reader.
class Win32IniReader : public IniReader {
 public:
  std::string ReadProfileString(const std::string& section, const std::string& key,
                                const std::string& default_value, const std::string& path) override;
};

}  // namespace hanamizu::win32
