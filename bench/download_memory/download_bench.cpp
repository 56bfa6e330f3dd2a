// Downloads one address into a file the way the update check does a package, with no UI around it,
// and reports the time and the process's peak memory: the download streams, so the peak must not
// grow with the file.
//   download_bench <url> <target file>

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "common/app_error.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_http.h"
#include "probe.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: download_bench <url> <target file>\n", stderr);
    return 2;
  }
  const std::string target = hanamizu::probe::Utf8(argv[2]);
  hanamizu::win32::Win32FileSystem files;
  const auto start = std::chrono::steady_clock::now();
  try {
    // Into the part beside the target, as a package download goes, started afresh.
    const auto part = files.OpenPartialFile(target);
    part->Restart({hanamizu::probe::Utf8(argv[1]), "", std::nullopt});
    hanamizu::win32::Win32HttpClient().Download(hanamizu::probe::Utf8(argv[1]), *part);
    part->Commit();
  } catch (const hanamizu::AppError& error) {
    std::fprintf(stderr, "download failed: %d %s\n", error.number(), error.description().c_str());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  const auto bytes = static_cast<double>(std::filesystem::file_size(argv[2]));
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, counters.cb = sizeof counters);
  std::printf(
      "download_bench bytes=%.0f ms=%.0f mib_s=%.1f peak_working_set_kib=%zu "
      "peak_pagefile_kib=%zu\n",
      bytes, ms, bytes / 1048576 / (ms / 1000), counters.PeakWorkingSetSize / 1024,
      counters.PeakPagefileUsage / 1024);
  return 0;
}
