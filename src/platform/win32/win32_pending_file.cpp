#include "platform/win32/win32_pending_file.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

std::wstring DirectoryOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return L".";
  // "C:\x" keeps its root's backslash; "C:x" has no separator and means the drive's directory.
  return path.substr(0, slash + 1);
}

class Win32PendingFile : public PendingFile {
 public:
  explicit Win32PendingFile(std::wstring target) : target_(std::move(target)) {
    wchar_t name[MAX_PATH];
    // Creates the empty file, so the name stays ours until it is moved or removed.
    if (GetTempFileNameW(DirectoryOf(target_).c_str(), L"hmz", 0, name) == 0) {
      throw LastWin32Error();
    }
    temporary_ = name;
    file_ = FileHandle(CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) {
      const AppError error = LastWin32Error();
      DeleteFileW(temporary_.c_str());
      throw error;
    }
  }
  Win32PendingFile(const Win32PendingFile&) = delete;
  Win32PendingFile& operator=(const Win32PendingFile&) = delete;

  ~Win32PendingFile() override {
    if (temporary_.empty()) return;
    file_.reset();
    DeleteFileW(temporary_.c_str());
  }

  void Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
      DWORD written = 0;
      if (!WriteFile(file_.get(), bytes.data(), chunk, &written, nullptr)) throw LastWin32Error();
      bytes.remove_prefix(written);
    }
  }

  void Commit() override {
    // Closing can report a failed write of cached data; the target must not get such a file.
    if (!CloseHandle(file_.release())) throw LastWin32Error();
    if (!MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      throw LastWin32Error();
    }
    temporary_.clear();
  }

 private:
  std::wstring target_;
  std::wstring temporary_;
  FileHandle file_;
};

}  // namespace

std::unique_ptr<PendingFile> CreateWin32PendingFile(const std::string& target) {
  return std::make_unique<Win32PendingFile>(Widen(target));
}

}  // namespace hanamizu::win32
