#pragma once

// What the Windows-side tests need beside the probe: files beside the test, folders deeper than
// MAX_PATH, settings as read back, and the ctest fixture's servers.

#include <wincrypt.h>

#include <filesystem>

#include "probe.h"

namespace hanamizu::probe {

inline std::string Repeat(const std::string& text, int times) {
  return times > 0 ? text + Repeat(text, times - 1) : "";
}

// A file beside the running executable.
inline std::string Beside(const std::string& name) {
  wchar_t path[MAX_PATH];
  const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
  return Utf8(self.substr(0, self.rfind(L'\\') + 1)) + name;
}

// Deeper than MAX_PATH too.
inline void RemoveTree(const std::string& path) {
  const std::wstring full = L"\\\\?\\" + Wide(path);
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((full + L"\\*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      DeleteFileW((full + L"\\" + found.cFileName).c_str());
    else if (found.cFileName[0] != L'.')  // not "." or ".."
      RemoveTree(path + "\\" + Utf8(found.cFileName));
  }
  FindClose(search);
  RemoveDirectoryW(full.c_str());
}

// Empty. The prefix takes paths beyond MAX_PATH, but creates no folder whose parents are all
// missing.
inline void FreshFolder(const std::string& path) {
  RemoveTree(path);
  std::filesystem::create_directories(Wide(path));
}

// "-" when there is none.
inline std::string Setting(HKEY root, const std::string& key, const std::string& name) {
  wchar_t value[1024] = L"-";
  DWORD size = sizeof value;
  RegGetValueW(root, Wide(key).c_str(), Wide(name).c_str(), RRF_RT_REG_SZ, nullptr, value, &size);
  return Utf8(value);
}

// The ctest fixture's server (tests/servers/servers.py) as http(s)://127.0.0.1:PORT/, or with
// "www" and "tls" its folders; the fixture's folder is seen through Wine's drive Z:.
inline std::string Server(const std::string& name) {
  wchar_t unix_path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"HANAMIZU_TEST_SERVERS", unix_path, MAX_PATH);
  std::string state = "Z:" + Utf8(unix_path) + "/";
  std::replace(state.begin(), state.end(), '/', '\\');
  if (name == "www" || name == "tls") return state + name + "\\";
  const std::string port = ReadBytes(state + name + ".port");
  if (port.empty()) throw std::runtime_error("no test servers: run through ctest");
  const bool tls = name != "nginx" && name != "faults" && name != "squid";
  return (tls ? "https" : "http") + std::string("://127.0.0.1:") + port.substr(0, port.find('\n')) +
         "/";
}

// The fixture's own certificate, trusted by the current user of this Wine prefix, the tests' own.
inline void TrustTestCertificate() {
  const std::string der = ReadBytes(Server("tls") + "https.der");
  const HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  CertAddEncodedCertificateToStore(
      store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
      static_cast<DWORD>(der.size()), CERT_STORE_ADD_USE_EXISTING, nullptr);
  CertCloseStore(store, 0);
}

}  // namespace hanamizu::probe
