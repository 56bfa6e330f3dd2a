#include "platform/win32/win32_pending_file.h"

#include <windows.h>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

class Win32PendingFile : public PendingFile {
 public:
  // Beside the target under a name of its own, made here rather than by GetTempFileNameW, whose
  // fixed buffer does not take every folder that Windows accepts.
  explicit Win32PendingFile(std::string target) : target_(std::move(target)) {
    for (int attempt = 0; !file_ && attempt < 100; ++attempt) {
      temporary_ = target_ + "." + std::to_string(GetCurrentProcessId()) + "-" +
                   std::to_string(attempt) + ".tmp";
      file_ = FileHandle(CreateFileW(FilePath(temporary_).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file_ && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (!file_) {
      const AppError error = FileError(target_);
      temporary_.clear();
      throw error;
    }
  }
  Win32PendingFile(const Win32PendingFile&) = delete;
  Win32PendingFile& operator=(const Win32PendingFile&) = delete;

  ~Win32PendingFile() override {
    if (temporary_.empty()) return;
    file_.reset();
    DeleteFileW(FilePath(temporary_).c_str());
  }

  void Write(std::string_view bytes) override { WriteWhole(file_.get(), bytes, target_); }

  void Commit() override {
    // Closing can report a failed write of cached data; the target must not get such a file. The
    // earlier file goes only as the new one takes its place.
    if (!CloseHandle(file_.release())) throw FileError(target_);
    if (!RetriedWhileHeld([&] {
          return MoveFileExW(FilePath(temporary_).c_str(), FilePath(target_).c_str(),
                             MOVEFILE_REPLACE_EXISTING);
        })) {
      throw FileError(target_);
    }
    temporary_.clear();
  }

 private:
  std::string target_;
  std::string temporary_;
  FileHandle file_;
};

}  // namespace

std::unique_ptr<PendingFile> CreateWin32PendingFile(const std::string& target) {
  return std::make_unique<Win32PendingFile>(target);
}

}  // namespace hanamizu::win32
