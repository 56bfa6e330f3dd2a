#include "config/config_sources.h"

namespace hanamizu {

std::string ReadIniValue(IniReader& ini, const std::string& section, const std::string& key,
                         const std::string& default_value, const std::string& path) {
  return ini.ReadProfileString(section, key, default_value, path);
}

std::string ReadRegistryValue(SettingsStore& store, RegistryRoot root, const std::string& subkey,
                              const std::string& value_name, uint32_t kind,
                              const std::string& default_value) {
  return store.QueryRegistryText(root, subkey, value_name, kind).value_or(default_value);
}

OemValues ReadOemFile(IniReader& ini, const std::string& dir) {
  const std::string path = dir + "\\oem.ini";
  OemValues values;
  values.OemTitle = ReadIniValue(ini, "OEM", "TITLE", kDefaultOemTitle, path);
  values.RegistryPrefix = ReadIniValue(ini, "SETTING", "REGISTRY", "", path);
  return values;
}

std::string SettingsAppName(const std::string& registry_prefix) {
  return "di04" + registry_prefix;
}

std::string DefaultProfileKey(const std::string& registry_prefix) {
  return ".DEFAULT\\Software\\VB and VBA Program Settings\\" + SettingsAppName(registry_prefix) +
         "\\" + kSettingsSection;
}

namespace {

std::string ReadDefaultProfile(SettingsStore& store, const std::string& registry_prefix,
                               const std::string& key) {
  return ReadRegistryValue(store, RegistryRoot::kUsers, DefaultProfileKey(registry_prefix), key,
                           kRegSz, "");
}

}  // namespace

void SyncFromDefaultProfile(SettingsStore& store, const std::string& registry_prefix,
                            const std::string& key) {
  const std::string app = SettingsAppName(registry_prefix);
  const std::string user = store.ReadSetting(app, kSettingsSection, key);
  const std::string profile = ReadDefaultProfile(store, registry_prefix, key);
  if (profile != user && !profile.empty()) store.WriteSetting(app, kSettingsSection, key, profile);
}

std::string FillFromDefaultProfile(SettingsStore& store, const std::string& registry_prefix,
                                   const std::string& key) {
  const std::string app = SettingsAppName(registry_prefix);
  std::string value = store.ReadSetting(app, kSettingsSection, key);
  if (value.empty()) {
    value = ReadDefaultProfile(store, registry_prefix, key);
    store.WriteSetting(app, kSettingsSection, key, value);
  }
  return value;
}

}  // namespace hanamizu
