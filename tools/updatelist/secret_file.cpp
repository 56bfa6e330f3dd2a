#include "secret_file.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#include <sddl.h>

#include "common/text.h"
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace hanamizu::tools {

#ifdef _WIN32

void WriteNewSecretFile(const std::string& path, const std::string& bytes) {
  const std::u16string name = Utf8ToUtf16(path);
  const auto* wide = reinterpret_cast<const wchar_t*>(name.c_str());
  PSECURITY_DESCRIPTOR owner_only = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;FA;;;OW)", SDDL_REVISION_1,
                                                            &owner_only, nullptr)) {
    throw std::runtime_error("cannot describe the owner's rights for " + path);
  }
  SECURITY_ATTRIBUTES security{sizeof security, owner_only, FALSE};
  // CREATE_NEW fails on any existing name, a link included.
  const HANDLE file =
      CreateFileW(wide, GENERIC_WRITE, 0, &security, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  LocalFree(owner_only);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
  DWORD written = 0;
  const bool whole =
      WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size();
  if (!CloseHandle(file) || !whole) {
    DeleteFileW(wide);
    throw std::runtime_error("cannot write " + path);
  }
}

#else

void WriteNewSecretFile(const std::string& path, const std::string& bytes) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
    if (written <= 0) break;
    done += static_cast<size_t>(written);
  }
  if (close(file) != 0 || done != bytes.size()) {
    unlink(path.c_str());
    throw std::runtime_error("cannot write " + path);
  }
}

#endif

}  // namespace hanamizu::tools
