#pragma once

#include <string>

#include "platform/platform.h"

namespace hanamizu::win32 {

class Win32FileSystem : public FileSystem {
 public:
  // The launcher's directory comes from its own executable unless a test names one.
  Win32FileSystem() = default;
  explicit Win32FileSystem(std::string launcher_directory)
      : launcher_directory_(std::move(launcher_directory)) {}

  std::string LauncherDirectory() override;
  void ChangeDrive(char letter) override;
  void ChangeDirectory(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& pattern) override;
  void AppendAnsiLine(const std::string& path, const std::string& line) override;
  bool NormalFileExists(const std::string& path) override;
  std::string FileVersion(const std::string& path) override;

 private:
  std::string launcher_directory_;
};

// The directory of the running executable: "C:\" at a drive root, "C:\Tools" elsewhere.
std::string ExecutableDirectory();

}  // namespace hanamizu::win32
