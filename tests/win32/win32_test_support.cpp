#include "win32/win32_test_support.h"

#include <shellapi.h>

#include <stdexcept>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32::testing {
namespace {

void RemoveTree(const std::wstring& path) {
  std::wstring from = path + L'\0';  // SHFileOperation wants a double-NUL-terminated list
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

}  // namespace

ScratchDirectory::ScratchDirectory(const std::string& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + L"hanamizu-test-" + Widen(name);
  RemoveTree(path);
  if (!CreateDirectoryW(path.c_str(), nullptr)) throw std::runtime_error("cannot create scratch");
  path_ = Narrow(path);
}

ScratchDirectory::~ScratchDirectory() {
  RemoveTree(Widen(path_));
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  FileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot write " + path);
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadBytes(const std::string& path) {
  FileHandle file(CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string bytes(static_cast<size_t>(GetFileSize(file.get(), nullptr)), '\0');
  DWORD read = 0;
  ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

std::string ToAnsi(const std::string& utf8) {
  return Utf8ToAnsi(utf8);
}

void DeleteRegistryTree(HKEY root, const std::string& subkey) {
  RegDeleteTreeW(root, Widen(subkey).c_str());
  RegDeleteKeyW(root, Widen(subkey).c_str());
}

void SetRegistryText(HKEY root, const std::string& subkey, const std::string& name,
                     const std::string& value) {
  HKEY raw = nullptr;
  if (RegCreateKeyExW(root, Widen(subkey).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS) {
    throw std::runtime_error("cannot create key " + subkey);
  }
  RegistryKey key(raw);
  const std::wstring data = Widen(value);
  RegSetValueExW(key.get(), Widen(name).c_str(), 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

}  // namespace hanamizu::win32::testing
