#include "platform/win32/win32_folders.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

// What the process's token says of its user (TokenUser) or of the owner it gives new objects
// (TokenOwner: the Administrators group for an elevated administrator, by default). Both begin
// with the SID's address.
class TokenSid {
 public:
  explicit TokenSid(TOKEN_INFORMATION_CLASS kind) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) throw LastWin32Error();
    const KernelHandle owned(token);
    DWORD size = 0;
    if (!GetTokenInformation(token, kind, buffer_, sizeof buffer_, &size)) throw LastWin32Error();
  }
  PSID get() const { return *reinterpret_cast<const PSID*>(buffer_); }

 private:
  alignas(TOKEN_USER) char buffer_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};

std::wstring UserSid() {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(TokenSid(TokenUser).get(), &text)) throw LastWin32Error();
  const LocalMemory<wchar_t> owned(text);
  return text;
}

// Whether this user's own processes made the folder, elevated or not.
bool OwnedByThisUser(PSID owner) {
  return EqualSid(owner, TokenSid(TokenUser).get()) || EqualSid(owner, TokenSid(TokenOwner).get());
}

// Full control for the user and the system; reading and running for administrators, so that an
// installer elevated as another administrator still reads its own folder. Protected: nothing of
// a shared parent's entries is inherited.
LocalMemory<void> PrivateDescriptor() {
  const std::wstring sddl =
      L"D:P(A;OICI;FA;;;" + UserSid() + L")(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BA)";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    throw LastWin32Error();
  }
  return LocalMemory<void>(descriptor);
}

}  // namespace

void MakePrivateFolder(const std::string& path) {
  const LocalMemory<void> descriptor = PrivateDescriptor();
  SECURITY_ATTRIBUTES security{sizeof security, descriptor.get(), FALSE};
  std::wstring wide = FilePath(path);  // SetNamedSecurityInfoW takes it as writable
  if (CreateDirectoryW(wide.c_str(), &security)) return;
  if (GetLastError() != ERROR_ALREADY_EXISTS) throw FileError(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    throw Win32Error(ERROR_DIRECTORY, path);  // a file, or a link to somewhere else
  }
  // Someone else's folder under that name is never written into.
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR found = nullptr;
  DWORD error = GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION,
                                      &owner, nullptr, nullptr, nullptr, &found);
  if (error != ERROR_SUCCESS) throw Win32Error(error, path);
  const LocalMemory<void> owned_found(found);
  if (!OwnedByThisUser(owner)) throw Win32Error(ERROR_ACCESS_DENIED, path);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted);
  error = SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, dacl, nullptr);
  if (error != ERROR_SUCCESS) throw Win32Error(error, path);
}

std::vector<std::string> ListFolders(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  const FindHandle find(FindFirstFileExW(FilePath(pattern).c_str(), FindExInfoBasic, &data,
                                         FindExSearchLimitToDirectories, nullptr, 0));
  if (!find) return names;
  do {
    const std::wstring name = data.cFileName;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
      names.push_back(Narrow(name));
  } while (FindNextFileW(find.get(), &data));
  return names;
}

void RemoveFolder(const std::string& path) {
  WIN32_FIND_DATAW data;
  const FindHandle find(FindFirstFileExW(FilePath(path + "\\*").c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW(FilePath(path + "\\" + Narrow(data.cFileName)).c_str());
    } while (FindNextFileW(find.get(), &data));
  }
  RemoveDirectoryW(FilePath(path).c_str());
}

}  // namespace hanamizu::win32
