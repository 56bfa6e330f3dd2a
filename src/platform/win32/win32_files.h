#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/win32/win32_ansi_codec.h"

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
  const AnsiCodec& Ansi() override { return ansi_; }
  void CheckReplaceable(const std::string& path) override;
  void MakePrivateFolder(const std::string& path) override;
  std::vector<std::string> ListFolders(const std::string& pattern) override;
  void RemoveFolder(const std::string& path) override;
  std::unique_ptr<PendingFile> CreatePendingFile(const std::string& path) override;
  std::unique_ptr<PartialFile> OpenPartialFile(const std::string& target) override;
  std::string ReadFileStart(const std::string& path, size_t max_bytes) override;
  uint64_t FreeSpace(const std::string& folder) override;
  std::unique_ptr<LogFile> OpenLog(const std::string& path) noexcept override;

 private:
  std::string launcher_directory_;
  Win32AnsiCodec ansi_;
};

// Writes all of bytes, in pieces WriteFile takes; a failure is a FileError naming path.
void WriteWhole(void* file, std::string_view bytes, const std::string& path);

// Runs an operation on a file the launcher has just written (opening, renaming, deleting),
// which says whether it succeeded. Security software holds new files for a moment: while the
// operation fails with a sharing violation or access denied, it is tried again after a growing
// pause, the windows answering meanwhile, for up to kMostHeldMs. Then its failure stands, in
// GetLastError.
inline constexpr unsigned kMostHeldMs = 10000;
bool RetriedWhileHeld(const std::function<bool()>& operation);

// The directory of the running executable: "C:\" at a drive root, "C:\Tools" elsewhere.
std::string ExecutableDirectory();

}  // namespace hanamizu::win32
