#include "platform/win32/win32_folders.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>

#include "platform/win32/win32_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32 {
namespace {

struct LocalFreeDeleter {
  void operator()(void* memory) const { LocalFree(memory); }
};
template <class T>
using LocalMemory = std::unique_ptr<T, LocalFreeDeleter>;

// What the process's token says: its user (TokenUser), or the owner it gives new objects
// (TokenOwner: the Administrators group for an elevated administrator, by default), as text.
std::wstring TokenSid(TOKEN_INFORMATION_CLASS kind) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) throw LastWin32Error();
  const KernelHandle owned(token);
  alignas(TOKEN_USER) char buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(token, kind, buffer, sizeof buffer, &size)) throw LastWin32Error();
  // TOKEN_USER and TOKEN_OWNER both begin with the SID's address.
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(*reinterpret_cast<PSID*>(buffer), &text)) throw LastWin32Error();
  const LocalMemory<wchar_t> owned_text(text);
  return text;
}
std::wstring UserSid() {
  return TokenSid(TokenUser);
}

// Whether this user's own processes made the folder (elevated or not).
bool OwnedByThisUser(PSID owner) {
  for (const TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(TokenSid(kind).c_str(), &sid)) throw LastWin32Error();
    const LocalMemory<void> owned(sid);
    if (EqualSid(owner, sid)) return true;
  }
  return false;
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
