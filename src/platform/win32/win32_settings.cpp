#include "platform/win32/win32_settings.h"

#include <windows.h>
#include <shlwapi.h>

#include "platform/win32/win32_ansi_codec.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

std::wstring SettingsKey(const std::string& app, const std::string& section) {
  return Widen("Software\\VB and VBA Program Settings\\" + app + "\\" + section);
}

}  // namespace

std::string Win32SettingsStore::ReadSetting(const std::string& app, const std::string& section,
                                            const std::string& key) {
  const std::wstring subkey = SettingsKey(app, section);
  const std::wstring name = Widen(key);
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, subkey.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                   value.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  value.resize(wcsnlen(value.c_str(), value.size()));
  return Narrow(value);
}

void Win32SettingsStore::WriteSetting(const std::string& app, const std::string& section,
                                      const std::string& key, const std::string& value) {
  // A setting that cannot be stored is not worth stopping the ledger tool for: the failure is
  // dropped, as no caller could do anything about it.
  HKEY raw = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKey(app, section).c_str(), 0, nullptr, 0,
                      KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegistryKey settings(raw);
  const std::wstring data = Widen(value);
  RegSetValueExW(settings.get(), Widen(key).c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

std::optional<std::string> Win32SettingsStore::QueryRegistryText(RegistryRoot root,
                                                                 const std::string& subkey,
                                                                 const std::string& value_name,
                                                                 uint32_t kind) {
  HKEY root_key = HKEY_USERS;
  switch (root) {
    case RegistryRoot::kUsers:
      root_key = HKEY_USERS;
      break;
  }
  char buffer[256] = {};
  DWORD size = sizeof buffer;
  DWORD type = kind;
  if (SHGetValueA(root_key, Utf8ToAnsi(subkey).c_str(), Utf8ToAnsi(value_name).c_str(), &type,
                  buffer, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  // A value that fills the buffer without a terminator is taken whole.
  return Win32AnsiCodec().ToUtf8(std::string_view(buffer, strnlen(buffer, sizeof buffer)));
}

}  // namespace hanamizu::win32
