#include "unix_process.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "probe_text.h"

namespace hanamizu::bench {
namespace {

const std::wstring kProc = L"Z:\\proc\\";

// /proc files report no size: read until the end.
std::optional<std::string> ReadAll(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Names of the entries of a directory that are whole numbers: processes or threads.
std::vector<std::wstring> NumberedEntries(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  const win32::FindHandle find(FindFirstFileExW((directory + L"*").c_str(), FindExInfoBasic, &entry,
                                                FindExSearchNameMatch, nullptr, 0));
  if (!find) return names;
  do {
    const std::wstring name = entry.cFileName;
    if (!name.empty() && name.find_first_not_of(L"0123456789") == std::wstring::npos) {
      names.push_back(name);
    }
  } while (FindNextFileW(find.get(), &entry));
  return names;
}

std::string WinePrefix() {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"WINEPREFIX", value, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throw std::runtime_error("WINEPREFIX is not set");
  return e2e::Utf8(value);
}

bool InPrefix(const std::string& environment, const std::string& prefix) {
  const std::string wanted = "WINEPREFIX=" + prefix;
  size_t start = 0;
  while (start < environment.size()) {
    const size_t end = environment.find('\0', start);
    if (environment.compare(start, end - start, wanted) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

}  // namespace

std::optional<UnixProcess> UnixProcess::Find(const std::string& comm) {
  const std::string prefix = WinePrefix();
  std::optional<UnixProcess> found;
  for (const std::wstring& pid : NumberedEntries(kProc)) {
    const auto name = ReadAll(kProc + pid + L"\\comm");
    if (!name || *name != comm + "\n") continue;
    const auto environment = ReadAll(kProc + pid + L"\\environ");
    if (!environment || !InPrefix(*environment, prefix)) continue;
    if (found) throw std::runtime_error("more than one " + comm + " runs in " + prefix);
    found = UnixProcess(static_cast<unsigned>(std::wcstoul(pid.c_str(), nullptr, 10)));
  }
  return found;
}

std::optional<double> UnixProcess::CpuMs() const {
  const std::wstring tasks = kProc + std::to_wstring(pid_) + L"\\task\\";
  const std::vector<std::wstring> threads = NumberedEntries(tasks);
  if (threads.empty()) return std::nullopt;
  double nanoseconds = 0;
  for (const std::wstring& thread : threads) {
    // The first field is the time the thread has spent on a CPU.
    if (const auto stat = ReadAll(tasks + thread + L"\\schedstat")) {
      nanoseconds += std::strtod(stat->c_str(), nullptr);
    }
  }
  return nanoseconds / 1e6;
}

std::optional<unsigned long long> UnixProcess::PeakRssKib() const {
  const auto status = ReadAll(kProc + std::to_wstring(pid_) + L"\\status");
  if (!status) return std::nullopt;
  const size_t at = status->find("VmHWM:");
  if (at == std::string::npos) return std::nullopt;
  return std::strtoull(status->c_str() + at + 6, nullptr, 10);
}

}  // namespace hanamizu::bench
