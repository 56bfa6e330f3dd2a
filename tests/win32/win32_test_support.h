#pragma once

// Helpers for tests that use the real Win32 backend under Wine or Windows.

#include <windows.h>

#include <string>

namespace hanamizu::win32::testing {

// A fresh, empty directory under the temporary directory, removed with its files at the end.
class ScratchDirectory {
 public:
  explicit ScratchDirectory(const std::string& name);
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// Writes bytes exactly as given (no conversion).
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// UTF-8 to the ANSI code page, for files the tests write as the installer would.
std::string ToAnsi(const std::string& utf8);

// Deletes a registry key with everything below it; absent keys are fine.
void DeleteRegistryTree(HKEY root, const std::string& subkey);
void SetRegistryText(HKEY root, const std::string& subkey, const std::string& name,
                     const std::string& value);

}  // namespace hanamizu::win32::testing
