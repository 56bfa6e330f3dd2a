#pragma once

// The launcher's settings as the tests set and inspect them: the user's store under
// HKEY_CURRENT_USER and the machine's default profile under HKEY_USERS\.DEFAULT.

#include <windows.h>

#include <optional>
#include <string>

namespace hanamizu::e2e {

inline constexpr char kProgramNumber[] = "ﾌﾟﾛｸﾞﾗﾑNo";

// "Software\VB and VBA Program Settings\<application>" below the given root.
std::string UserApplicationKey(const std::string& application);
std::string DefaultProfileApplicationKey(const std::string& application);

void SetText(HKEY root, const std::string& subkey, const std::string& name,
             const std::string& value);
// The text of a REG_SZ value; nothing when the value (or its key) is absent.
std::optional<std::string> GetText(HKEY root, const std::string& subkey, const std::string& name);
// Removes a key with everything below it; an absent key is fine.
void DeleteTree(HKEY root, const std::string& subkey);

// Both sources of one application's "system" section.
struct SettingsSection {
  std::string application;

  std::string user_key() const { return UserApplicationKey(application) + "\\system"; }
  std::string profile_key() const { return DefaultProfileApplicationKey(application) + "\\system"; }
  void SetUser(const std::string& name, const std::string& value) const;
  void SetProfile(const std::string& name, const std::string& value) const;
  std::optional<std::string> User(const std::string& name) const;
  // Removes the application from both sources.
  void Clear() const;
};

}  // namespace hanamizu::e2e
