#include "whole_file.h"

#include <memory>
#include <stdexcept>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace hanamizu::tools {
namespace {

#ifdef _WIN32

// Creates name where nothing is and writes bytes into it whole: false when the name is taken,
// and a failure to create or write throws, leaving no file.
bool CreateWhole(const std::string& name, const std::string& bytes, bool owner_only) {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
  win32::LocalMemory<void> owner_rights;
  if (owner_only) {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1,
                                                              &made, nullptr)) {
      throw std::runtime_error("cannot describe the owner's rights for " + name);
    }
    owner_rights.reset(made);
    security.lpSecurityDescriptor = made;
  }
  // CREATE_NEW fails on any existing name, a link included.
  win32::FileHandle file(CreateFileW(win32::FilePath(name).c_str(), GENERIC_WRITE, 0, &security,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    if (GetLastError() == ERROR_FILE_EXISTS) return false;
    throw win32::FileError(name);
  }
  try {
    win32::WriteWhole(file.get(), bytes, name);
    // Closing can report a failed write of cached data.
    if (!CloseHandle(file.release())) throw win32::FileError(name);
  } catch (...) {
    file.reset();
    DeleteFileW(win32::FilePath(name).c_str());
    throw;
  }
  return true;
}

// Over whatever has the name, a link itself rather than what it points to.
void MoveOver(const std::string& from, const std::string& to) {
  if (!win32::RetriedWhileHeld([&] {
        return MoveFileExW(win32::FilePath(from).c_str(), win32::FilePath(to).c_str(),
                           MOVEFILE_REPLACE_EXISTING) != 0;
      })) {
    throw win32::FileError(to);
  }
}

void Remove(const std::string& name) {
  DeleteFileW(win32::FilePath(name).c_str());
}

unsigned long ProcessId() {
  return GetCurrentProcessId();
}

#else

class Descriptor {
 public:
  explicit Descriptor(int file) : file_(file) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (file_ >= 0) close(file_);
  }

  int get() const { return file_; }
  // Closing can report a failed write the system held back.
  bool Close() { return close(std::exchange(file_, -1)) == 0; }

 private:
  int file_;
};

std::runtime_error Failure(const std::string& what, int error) {
  return std::runtime_error(what + ": " + std::strerror(error));
}

// Creates name where nothing is (no file, nor a link: O_EXCL with O_NOFOLLOW) and writes bytes
// into it whole: false when the name is taken, and a failure to create or write throws, leaving
// no file.
bool CreateWhole(const std::string& name, const std::string& bytes, bool owner_only) {
  Descriptor file(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                       owner_only ? 0600 : 0666));
  if (file.get() < 0) {
    if (errno == EEXIST) return false;
    throw Failure("cannot create " + name, errno);
  }
  int error = 0;
  for (size_t done = 0; done < bytes.size() && error == 0;) {
    const ssize_t written = write(file.get(), bytes.data() + done, bytes.size() - done);
    if (written > 0) done += static_cast<size_t>(written);
    error = written > 0 ? 0 : written < 0 ? errno : EIO;
  }
  if (!file.Close() && error == 0) error = errno;
  if (error != 0) {
    unlink(name.c_str());
    throw Failure("cannot write " + name, error);
  }
  return true;
}

// Over whatever has the name, a link itself rather than what it points to.
void MoveOver(const std::string& from, const std::string& to) {
  if (rename(from.c_str(), to.c_str()) != 0) throw Failure("cannot replace " + to, errno);
}

void Remove(const std::string& name) {
  unlink(name.c_str());
}

long ProcessId() {
  return getpid();
}

#endif

}  // namespace

void WriteWholeFile(const std::string& path, const std::string& bytes, FileKind kind) {
  if (kind != FileKind::kList) {
    if (!CreateWhole(path, bytes, kind == FileKind::kPrivateKey))
      throw std::runtime_error(path + " exists: a key is never overwritten");
    return;
  }
  // Beside it, so that the rename stays on its volume, under a name of this process's own; one
  // that a leftover or a link holds is passed over.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string aside =
        path + "." + std::to_string(ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
    if (!CreateWhole(aside, bytes, false)) continue;
    try {
      MoveOver(aside, path);
    } catch (...) {
      Remove(aside);
      throw;
    }
    return;
  }
  throw std::runtime_error("cannot write " + path + ": every name beside it is taken");
}

}  // namespace hanamizu::tools
