#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace hanamizu {

inline constexpr char kSettingsSection[] = "system";
inline constexpr char kKeyProgramNo[] = "ﾌﾟﾛｸﾞﾗﾑNo";
inline constexpr char kKeyLauncher[] = "ﾗﾝﾁｬｰ";
inline constexpr char kKeyAutoUpdateUrl[] = "自動ｱｯﾌﾟﾃﾞｰﾄURL";
inline constexpr char kKeyAutoUpdate[] = "自動ｱｯﾌﾟﾃﾞｰﾄ";
// The highest release sequence of a signed update list this user has accepted.
inline constexpr char kKeyListSequence[] = "更新ﾘｽﾄ連番";
// This user's group for releases that reach a share of the PCs first, drawn once: 0 to 99.
inline constexpr char kKeyRolloutGroup[] = "更新ｸﾞﾙｰﾌﾟ";
inline constexpr char kDefaultOemTitle[] = "ハナミズ台帳ツール";

// An INI value; a present key with an empty value gives the empty text, not the default.
std::string ReadIniValue(IniReader& ini, const std::string& section, const std::string& key,
                         const std::string& default_value, const std::string& path);

// A registry value as text, or default_value on any failure of the read.
std::string ReadRegistryValue(SettingsStore& store, RegistryRoot root, const std::string& subkey,
                              const std::string& value_name, uint32_t kind,
                              const std::string& default_value);

struct OemValues {
  std::string OemTitle;
  std::string RegistryPrefix;
};

// Reads "oem.ini" in dir (a directory without its trailing "\").
OemValues ReadOemFile(IniReader& ini, const std::string& dir);

// "di04" followed by the OEM registry prefix.
std::string SettingsAppName(const std::string& registry_prefix);

// The settings' subkey under HKEY_USERS in the machine's default profile.
std::string DefaultProfileKey(const std::string& registry_prefix);

// A non-empty default-profile value that differs from the user's replaces it.
void SyncFromDefaultProfile(SettingsStore& store, const std::string& registry_prefix,
                            const std::string& key);

// An empty user value is filled from the default profile (and written, even when still
// empty). Returns the value in effect.
std::string FillFromDefaultProfile(SettingsStore& store, const std::string& registry_prefix,
                                   const std::string& key);

}  // namespace hanamizu
