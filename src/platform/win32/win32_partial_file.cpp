#include "platform/win32/win32_partial_file.h"

#include <windows.h>

#include <charconv>
#include <sstream>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

class Win32PartialFile : public PartialFile {
 public:
  explicit Win32PartialFile(std::string target)
      : target_(std::move(target)), part_(target_ + ".part"), info_(target_ + ".part.txt") {}

  uint64_t Size() override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(FilePath(part_).c_str(), GetFileExInfoStandard, &data)) return 0;
    return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
  }

  std::optional<PartInfo> Info() override {
    const std::string text = Read(info_, 0, 65536);
    PartInfo info;
    bool has_url = false;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      if (line.find('=') == std::string::npos) continue;
      const std::string key = line.substr(0, line.find('=')), value = line.substr(key.size() + 1);
      if (key == "url") info.url = value, has_url = true;
      if (key == "validator") info.validator = value;
      uint64_t length = 0;
      if (key == "length" &&
          std::from_chars(value.data(), value.data() + value.size(), length).ec == std::errc())
        info.length = length;
    }
    return has_url ? std::optional(info) : std::nullopt;
  }

  double AgeDays() override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(FilePath(part_).c_str(), GetFileExInfoStandard, &data)) return 0;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME time) {
      return static_cast<double>(uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
    };
    return (ticks(now) - ticks(data.ftLastWriteTime)) / 864'000'000'000.0;  // 100 ns units
  }

  std::string Read(uint64_t offset, size_t size) override { return Read(part_, offset, size); }

  // A new file rather than a truncated one: under Wine on ext4, closing a file that was opened
  // truncating waits for all of it to reach the disk (a tenth of a second for 256 MiB).
  void Restart(const PartInfo& info) override {
    file_.reset();
    DeleteFileW(FilePath(part_).c_str());
    Open(CREATE_NEW, info);
  }
  void Continue(const PartInfo& info) override { Open(OPEN_EXISTING, info); }

  void Write(std::string_view bytes) override { WriteWhole(file_.get(), bytes, part_); }

  void Commit() override {
    if (file_ && !CloseHandle(file_.release())) throw FileError(part_);
    if (!MoveFileExW(FilePath(part_).c_str(), FilePath(target_).c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
      throw FileError(target_);
    }
    DeleteFileW(FilePath(info_).c_str());
  }

  void Discard() override {
    file_.reset();
    DeleteFileW(FilePath(part_).c_str());
    DeleteFileW(FilePath(info_).c_str());
  }

 private:
  // The part opened for appending, and what it is written down beside it first: a part that
  // cannot be told is never continued.
  void Open(DWORD disposition, const PartInfo& info) {
    file_.reset();
    const std::string text = "url=" + info.url + "\nvalidator=" + info.validator +
                             "\nlength=" + (info.length ? std::to_string(*info.length) : "") + "\n";
    const FileHandle written(CreateFileW(FilePath(info_).c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!written) throw FileError(info_);
    WriteWhole(written.get(), text, info_);
    file_ = FileHandle(CreateFileW(FilePath(part_).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                   nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file_) throw FileError(part_);
  }

  static std::string Read(const std::string& path, uint64_t offset, size_t size) {
    const FileHandle file(CreateFileW(FilePath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    std::string bytes(size, '\0');
    DWORD read = 0;
    if (!SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) ||
        !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(size), &read, nullptr)) {
      throw FileError(path);
    }
    bytes.resize(read);
    return bytes;
  }

  std::string target_, part_, info_;
  FileHandle file_;
};

}  // namespace

std::unique_ptr<PartialFile> OpenWin32PartialFile(const std::string& target) {
  return std::make_unique<Win32PartialFile>(target);
}

}  // namespace hanamizu::win32
