#include "platform/win32/win32_log_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

// Readers, other launchers' appends and their renames of the log all go on while it is open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder and those missing above it; whatever else stands in the way, the open finds.
void MakeFolders(const std::string& folder) {
  const std::wstring wide = FilePath(folder);
  if (CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() != ERROR_PATH_NOT_FOUND) return;
  const size_t slash = folder.find_last_of('\\');
  if (slash == std::string::npos || slash == 0) return;
  MakeFolders(folder.substr(0, slash));
  CreateDirectoryW(wide.c_str(), nullptr);
}

// Every write lands at the end of the file, wherever other writers have taken it meanwhile.
FileHandle OpenForAppending(const std::string& path) {
  return FileHandle(CreateFileW(FilePath(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Whether bytes more keep the file behind a handle within the bound; not when its size is unknown.
bool Fits(const FileHandle& file, size_t bytes) {
  LARGE_INTEGER size{};
  return file && GetFileSizeEx(file.get(), &size) &&
         static_cast<uint64_t>(size.QuadPart) + bytes <= kLogMostBytes;
}

// Through the handle, so that the file renamed is the one that was found too big.
void RenameAs(const FileHandle& file, const std::string& path) {
  const std::wstring name = FilePath(path);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  SetFileInformationByHandle(file.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

int64_t Ticks(const SYSTEMTIME& time) {
  FILETIME file_time{};
  SystemTimeToFileTime(&time, &file_time);
  return static_cast<int64_t>(uint64_t{file_time.dwHighDateTime} << 32 | file_time.dwLowDateTime);
}

// "2026-12-08 09:30:05.123 +09:00 ": the local time and its offset from one reading of the clock,
// so that the two agree across a change of daylight saving time. UTC where the zone is unknown.
std::string Stamp() {
  SYSTEMTIME utc{}, local{};
  GetSystemTime(&utc);
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) local = utc;
  const int64_t minutes = (Ticks(local) - Ticks(utc)) / 600'000'000;
  const int64_t away = minutes < 0 ? -minutes : minutes;
  char text[48];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u %c%02d:%02d ", local.wYear,
                local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                local.wMilliseconds, minutes < 0 ? '-' : '+', static_cast<int>(away / 60),
                static_cast<int>(away % 60));
  return text;
}

class Win32LogFile : public LogFile {
 public:
  Win32LogFile(const std::string& path, FileHandle file)
      : path_(path),
        previous_((path.ends_with(".log") ? path.substr(0, path.size() - 4) : path) +
                  ".previous.log"),
        file_(std::move(file)) {}

  // Never waits: a line that finds no room, or the file in someone else's hands, is dropped.
  void Append(std::string_view line) noexcept override {
    try {
      std::string text = Stamp();
      text.append(line).append("\r\n");
      if (text.size() > kLogMostBytes) return;
      if (!Fits(file_, text.size())) Rotate(text.size());
      if (!Fits(file_, text.size())) return;
      DWORD written = 0;
      WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } catch (...) {
    }
  }

 private:
  // Another launcher may have begun a new log meanwhile, which this handle, renamed with the
  // full one, no longer sees: the file by that name is measured again and renamed only if it is
  // still too big.
  void Rotate(size_t bytes) {
    file_.reset();
    const FileHandle named(CreateFileW(FilePath(path_).c_str(), DELETE, kShareAll, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    if (named && !Fits(named, bytes)) RenameAs(named, previous_);
    file_ = OpenForAppending(path_);
  }

  std::string path_, previous_;
  FileHandle file_;
};

}  // namespace

std::unique_ptr<LogFile> OpenWin32LogFile(const std::string& path) noexcept {
  try {
    FileHandle file = OpenForAppending(path);
    if (!file && path.find_last_of('\\') != std::string::npos) {
      MakeFolders(path.substr(0, path.find_last_of('\\')));
      file = OpenForAppending(path);
    }
    if (!file) return nullptr;
    return std::make_unique<Win32LogFile>(path, std::move(file));
  } catch (...) {
    return nullptr;
  }
}

}  // namespace hanamizu::win32
