#pragma once

#include "platform/platform.h"

namespace hanamizu::win32 {

// Per-user settings under HKEY_CURRENT_USER\Software\VB and VBA Program Settings, and the
// default profile's copy of them under HKEY_USERS.
class Win32SettingsStore : public SettingsStore {
 public:
  std::string ReadSetting(const std::string& app, const std::string& section,
                          const std::string& key) override;
  void WriteSetting(const std::string& app, const std::string& section, const std::string& key,
                    const std::string& value) override;
  std::optional<std::string> QueryRegistryText(RegistryRoot root, const std::string& subkey,
                                               const std::string& value_name,
                                               uint32_t kind) override;
};

}  // namespace hanamizu::win32
