#include "platform/win32/win32_partial_file.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "platform/win32/win32_code_signature.h"
#include "platform/win32/win32_error.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

// A named mutex owned by this thread while the object lives: one launcher per download target.
class TargetLock {
 public:
  explicit TargetLock(const std::string& target) {
    uint64_t hash = 14695981039346656037ULL;  // FNV-1a over the path as Windows compares it
    for (const wchar_t c : Widen(target)) hash = (hash ^ towupper(c)) * 1099511628211ULL;
    wchar_t name[64];
    swprintf(name, 64, L"Local\\HanamizuDownload-%016llx", static_cast<unsigned long long>(hash));
    mutex_ = KernelHandle(CreateMutexW(nullptr, FALSE, name));
    if (!mutex_) throw LastWin32Error();
    if (WaitForSingleObject(mutex_.get(), 0) == WAIT_TIMEOUT) {
      throw AppError(ERROR_SHARING_VIOLATION,
                     "更新パッケージは別のランチャーがダウンロード中です (" + target + ")",
                     Condition::kDownloadInProgress);
    }
  }
  TargetLock(const TargetLock&) = delete;
  TargetLock& operator=(const TargetLock&) = delete;
  ~TargetLock() { ReleaseMutex(mutex_.get()); }

 private:
  KernelHandle mutex_;
};

// What tells a file from every other: its ID, its volume where the system names one (Wine names
// none for a handle whose file was renamed; a rename never leaves the volume), and its size.
// Never its times: Windows may change them when a writing handle is closed (FAT does so at every
// close).
struct FileIdentity {
  uint64_t volume = 0;
  std::array<unsigned char, 16> id{};
  uint64_t size = 0;
  bool Same(const FileIdentity& other) const {
    return id == other.id && size == other.size &&
           (volume == 0 || other.volume == 0 || volume == other.volume);
  }
};

FileIdentity IdentityOf(HANDLE file, const std::string& path) {
  FileIdentity identity;
  FILE_ID_INFO id{};
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_STANDARD_INFO standard{};
  const std::array<unsigned char, 16> none{};
  if (GetFileInformationByHandleEx(file, FileIdInfo, &id, sizeof id) &&
      std::memcmp(id.FileId.Identifier, none.data(), none.size()) != 0) {
    identity.volume = id.VolumeSerialNumber;
    std::memcpy(identity.id.data(), id.FileId.Identifier, identity.id.size());
  } else if (GetFileInformationByHandle(file, &info)) {
    // A file system without 128-bit IDs refuses them or gives 0, which would match any file.
    identity.volume = info.dwVolumeSerialNumber;
    const uint64_t index = uint64_t{info.nFileIndexHigh} << 32 | info.nFileIndexLow;
    std::memcpy(identity.id.data(), &index, sizeof index);
  } else {
    throw FileError(path);
  }
  if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
    throw FileError(path);
  identity.size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
  return identity;
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return at;
}

// Up to size bytes at offset, through the handle given.
std::string ReadAt(HANDLE file, uint64_t offset, size_t size, const std::string& path) {
  std::string bytes(size, '\0');
  OVERLAPPED at = At(offset);
  DWORD read = 0;
  if (!ReadFile(file, bytes.data(), static_cast<DWORD>(size), &read, &at) &&
      GetLastError() != ERROR_HANDLE_EOF) {
    throw FileError(path);
  }
  bytes.resize(read);
  return bytes;
}

// A file the launcher has just written, opened while another program lets go of it; an invalid
// handle when it could not be, the reason in GetLastError.
FileHandle OpenWhileHeld(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
  FileHandle file;
  RetriedWhileHeld([&] {
    file = FileHandle(CreateFileW(FilePath(path).c_str(), access, share, nullptr, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return !!file;
  });
  return file;
}

void DeleteIfThere(const std::string& path) {
  if (!RetriedWhileHeld([&] {
        return DeleteFileW(FilePath(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
               GetLastError() == ERROR_PATH_NOT_FOUND;
      })) {
    throw FileError(path);
  }
}

// The package, readable by all and writable, renamable or deletable by none, with its target
// still locked.
class HeldPackage : public HeldFile {
 public:
  HeldPackage(FileHandle file, std::unique_ptr<TargetLock> lock, std::string path)
      : file_(std::move(file)), lock_(std::move(lock)), path_(std::move(path)) {}

  std::string Path() override { return path_; }
  std::string Read(uint64_t offset, size_t size) override {
    return ReadAt(file_.get(), offset, size, path_);
  }
  void Discard() override {
    file_.reset();
    DeleteIfThere(path_);
  }
  CodeSignature Signature() override { return VerifyCodeSignature(file_.get(), path_); }

 private:
  FileHandle file_;
  std::unique_ptr<TargetLock> lock_;
  std::string path_;
};

class Win32PartialFile : public PartialFile {
 public:
  explicit Win32PartialFile(std::string target)
      : target_(std::move(target)),
        part_(target_ + ".part"),
        info_(target_ + ".part.txt"),
        lock_(std::make_unique<TargetLock>(target_)) {
    Open(OPEN_ALWAYS);
  }
  Win32PartialFile(const Win32PartialFile&) = delete;
  Win32PartialFile& operator=(const Win32PartialFile&) = delete;

  // An empty part that nothing identifies is no part at all.
  ~Win32PartialFile() override {
    if (file_ && end_ == 0 &&
        GetFileAttributesW(FilePath(info_).c_str()) == INVALID_FILE_ATTRIBUTES) {
      file_.reset();
      DeleteFileW(FilePath(part_).c_str());
    }
  }

  uint64_t Size() override {
    LARGE_INTEGER size{};
    if (file_ && !GetFileSizeEx(file_.get(), &size)) throw FileError(part_);
    return static_cast<uint64_t>(size.QuadPart);
  }

  // Held by a scanner for a moment, it is waited for; held for longer, the part is kept.
  std::optional<PartInfo> Info() override {
    const FileHandle file = OpenWhileHeld(info_, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!file) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND)
        return std::nullopt;
      throw FileError(info_);
    }
    const std::string text = ReadAt(file.get(), 0, 65536, info_);
    PartInfo info;
    // No stream here: iostreams would add most of libstdc++ to every launch.
    for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
      end = std::min(text.find('\n', start), text.size());
      const std::string line = text.substr(start, end - start);
      const size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
      uint64_t length = 0;
      if (key == "url") info.url = value;
      if (key == "validator") info.validator = value;
      if (key == "length" &&
          std::from_chars(value.data(), value.data() + value.size(), length).ec == std::errc())
        info.length = length;
    }
    return info.url.empty() ? std::nullopt : std::optional(info);
  }

  double AgeDays() override {
    FILETIME written{}, now;
    if (!file_ || !GetFileTime(file_.get(), nullptr, nullptr, &written)) return 0;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](FILETIME time) {
      return static_cast<double>(uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime);
    };
    return (ticks(now) - ticks(written)) / 864'000'000'000.0;  // 100 ns units
  }

  // Through the held part, at the offset given.
  std::string Read(uint64_t offset, size_t size) override {
    return ReadAt(file_.get(), offset, size, part_);
  }

  // A new file rather than a truncated one: under Wine on ext4, closing a file that was
  // truncated waits for all of it to reach the disk (a tenth of a second for 256 MiB).
  void Restart(const PartInfo& info) override {
    Discard();
    Describe(info);
    Open(CREATE_NEW);
  }
  void Continue(const PartInfo& info) override { Describe(info); }

  // After what was there when the part was opened and what was written since, at that offset
  // rather than wherever the file ends.
  void Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
      OVERLAPPED at = At(end_);
      DWORD written = 0;
      if (!WriteFile(file_.get(), bytes.data(), piece, &written, &at) || written == 0)
        throw FileError(part_);
      bytes.remove_prefix(written);
      end_ += written;
    }
  }

  // The part takes the target's name while held; the target is then held for reading only, and
  // must be the same file as the part was when it let go (its bytes are checked again through
  // the held handle by the caller).
  std::unique_ptr<HeldFile> Commit() override {
    if (!RetriedWhileHeld([&] {
          return MoveFileExW(FilePath(part_).c_str(), FilePath(target_).c_str(),
                             MOVEFILE_REPLACE_EXISTING);
        })) {
      throw FileError(target_);
    }
    const FileIdentity renamed = IdentityOf(file_.get(), target_);
    if (!CloseHandle(file_.release())) throw FileError(target_);
    FileHandle held = OpenWhileHeld(target_, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (!held) throw FileError(target_);
    if (!IdentityOf(held.get(), target_).Same(renamed)) {
      held.reset();  // not what was checked: it goes
      DeleteIfThere(target_);
      DeleteIfThere(info_);
      throw AppError(ERROR_FILE_INVALID,
                     "ダウンロードしたパッケージが確認の後で変わりました (" + target_ + ")",
                     Condition::kPackageMismatch);
    }
    DeleteIfThere(info_);
    return std::make_unique<HeldPackage>(std::move(held), std::move(lock_), target_);
  }

  void Discard() override {
    file_.reset();
    end_ = 0;
    DeleteIfThere(part_);
    DeleteIfThere(info_);
  }

 private:
  // Others may read the part, or rename it away (which the commit finds), but never write.
  void Open(DWORD disposition) {
    file_ = OpenWhileHeld(part_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                          disposition);
    if (!file_) throw FileError(part_);
    end_ = Size();
  }

  // What the part is written down beside it first: a part that cannot be told is never
  // continued.
  void Describe(const PartInfo& info) {
    const std::string text = "url=" + info.url + "\nvalidator=" + info.validator +
                             "\nlength=" + (info.length ? std::to_string(*info.length) : "") + "\n";
    const FileHandle written = OpenWhileHeld(info_, GENERIC_WRITE, 0, CREATE_ALWAYS);
    if (!written) throw FileError(info_);
    WriteWhole(written.get(), text, info_);
  }

  std::string target_, part_, info_;
  std::unique_ptr<TargetLock> lock_;
  FileHandle file_;
  uint64_t end_ = 0;
};

}  // namespace

std::unique_ptr<PartialFile> OpenWin32PartialFile(const std::string& target) {
  return std::make_unique<Win32PartialFile>(target);
}

}  // namespace hanamizu::win32
