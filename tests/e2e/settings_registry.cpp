#include "settings_registry.h"

#include <cwchar>
#include <stdexcept>
#include <utility>

#include "probe_text.h"

namespace hanamizu::e2e {
namespace {

constexpr char kSettingsRoot[] = "Software\\VB and VBA Program Settings\\";

class Key {
 public:
  explicit Key(HKEY key) : key_(key) {}
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(Key&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
  Key& operator=(Key&&) = delete;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_;
};

}  // namespace

std::string UserApplicationKey(const std::string& application) {
  return kSettingsRoot + application;
}

std::string DefaultProfileApplicationKey(const std::string& application) {
  return ".DEFAULT\\" + UserApplicationKey(application);
}

void SetText(HKEY root, const std::string& subkey, const std::string& name,
             const std::string& value) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(root, Wide(subkey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create " + subkey);
  }
  const Key key(raw);
  const std::wstring data = Wide(value);
  if (RegSetValueExW(key.get(), Wide(name).c_str(), 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot set " + name + " in " + subkey);
  }
}

std::optional<std::string> GetText(HKEY root, const std::string& subkey, const std::string& name) {
  const std::wstring key = Wide(subkey);
  const std::wstring value = Wide(name);
  DWORD size = 0;
  if (RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring data(size / sizeof(wchar_t), L'\0');
  if (RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, data.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  data.resize(wcsnlen(data.c_str(), data.size()));
  return Utf8(data);
}

void DeleteTree(HKEY root, const std::string& subkey) {
  const LSTATUS status = RegDeleteTreeW(root, Wide(subkey).c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    throw std::runtime_error("cannot delete " + subkey);
  }
}

void SettingsSection::SetUser(const std::string& name, const std::string& value) const {
  SetText(HKEY_CURRENT_USER, user_key(), name, value);
}

void SettingsSection::SetProfile(const std::string& name, const std::string& value) const {
  SetText(HKEY_USERS, profile_key(), name, value);
}

std::optional<std::string> SettingsSection::User(const std::string& name) const {
  return GetText(HKEY_CURRENT_USER, user_key(), name);
}

void SettingsSection::Clear() const {
  DeleteTree(HKEY_CURRENT_USER, UserApplicationKey(application));
  DeleteTree(HKEY_USERS, DefaultProfileApplicationKey(application));
}

}  // namespace hanamizu::e2e
