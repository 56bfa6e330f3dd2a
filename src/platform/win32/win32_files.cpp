#include "platform/win32/win32_files.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_folders.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_log_file.h"
#include "platform/win32/win32_messages.h"
#include "platform/win32/win32_partial_file.h"
#include "platform/win32/win32_pending_file.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {

std::string ExecutableDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw LastWin32Error();
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  path.resize(path.find_last_of(L'\\'));
  if (path.size() == 2 && path[1] == L':') path += L'\\';
  return Narrow(path);
}

std::string Win32FileSystem::LauncherDirectory() {
  if (launcher_directory_.empty()) launcher_directory_ = ExecutableDirectory();
  return launcher_directory_;
}

void Win32FileSystem::ChangeDrive(char letter) {
  // "D:" alone selects the drive with the directory last current on it.
  const wchar_t drive[] = {static_cast<wchar_t>(letter), L':', L'\0'};
  if (!SetCurrentDirectoryW(drive)) throw LastWin32Error();
}

void Win32FileSystem::ChangeDirectory(const std::string& path) {
  if (!SetCurrentDirectoryW(Widen(path).c_str())) throw FileError(path);
}

std::vector<std::string> Win32FileSystem::ListFiles(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW(FilePath(pattern).c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, 0));
  if (!find) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return names;
    SetLastError(error);
    throw FileError(pattern);
  }
  constexpr DWORD kLeftOut =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((data.dwFileAttributes & kLeftOut) == 0) names.push_back(Narrow(data.cFileName));
  } while (FindNextFileW(find.get(), &data));
  if (GetLastError() != ERROR_NO_MORE_FILES) throw FileError(pattern);
  return names;
}

void WriteWhole(void* file, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0)
      throw FileError(path);
    bytes.remove_prefix(written);
  }
}

bool RetriedWhileHeld(const std::function<bool()>& operation) {
  const ULONGLONG end = GetTickCount64() + kMostHeldMs;
  for (DWORD pause = 50;; pause = std::min<DWORD>(pause * 2, 1000)) {
    if (operation()) return true;
    const DWORD error = GetLastError();
    const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                      error == ERROR_LOCK_VIOLATION;
    const ULONGLONG now = GetTickCount64();
    if (!held || now >= end) return false;
    WaitHandlingMessages(nullptr, static_cast<DWORD>(std::min<ULONGLONG>(pause, end - now)));
    SetLastError(error);
  }
}

void Win32FileSystem::AppendAnsiLine(const std::string& path, const std::string& line) {
  FileHandle file(CreateFileW(FilePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw FileError(path);
  WriteWhole(file.get(), Utf8ToAnsi(line) + "\r\n", path);
  if (!CloseHandle(file.release())) throw FileError(path);
}

bool Win32FileSystem::NormalFileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(FilePath(path).c_str());
  constexpr DWORD kNotNormal =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotNormal) == 0;
}

std::string Win32FileSystem::FileVersion(const std::string& path) {
  const std::wstring wide = Widen(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<char> data(size);
  if (!GetFileVersionInfoW(wide.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
}

void Win32FileSystem::CheckReplaceable(const std::string& path) {
  // Opening for writing and deletion without sharing fails while anyone else has the file open,
  // and while it is the image of a running program (which Windows grants DELETE alone).
  const FileHandle file(CreateFileW(FilePath(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const DWORD error = file ? ERROR_SUCCESS : GetLastError();
  if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
    return;
  SetLastError(error);
  throw FileError(path);
}

void Win32FileSystem::MakePrivateFolder(const std::string& path) {
  win32::MakePrivateFolder(path);
}

std::vector<std::string> Win32FileSystem::ListFolders(const std::string& pattern) {
  return win32::ListFolders(pattern);
}

void Win32FileSystem::RemoveFolder(const std::string& path) {
  win32::RemoveFolder(path);
}

std::unique_ptr<PendingFile> Win32FileSystem::CreatePendingFile(const std::string& path) {
  return CreateWin32PendingFile(path);
}

std::unique_ptr<PartialFile> Win32FileSystem::OpenPartialFile(const std::string& target) {
  return OpenWin32PartialFile(target);
}

uint64_t Win32FileSystem::FreeSpace(const std::string& folder) {
  ULARGE_INTEGER free{};
  if (!GetDiskFreeSpaceExW(FilePath(folder).c_str(), &free, nullptr, nullptr)) {
    throw FileError(folder);
  }
  return free.QuadPart;
}

std::string Win32FileSystem::ReadFileStart(const std::string& path, size_t max_bytes) {
  FileHandle file(CreateFileW(FilePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw FileError(path);
  std::string bytes;
  char buffer[65536];
  while (bytes.size() < max_bytes) {
    const DWORD wanted = static_cast<DWORD>(std::min(sizeof buffer, max_bytes - bytes.size()));
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, wanted, &read, nullptr)) throw FileError(path);
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return bytes;
}

std::unique_ptr<LogFile> Win32FileSystem::OpenLog(const std::string& path) noexcept {
  return OpenWin32LogFile(path);
}

}  // namespace hanamizu::win32
