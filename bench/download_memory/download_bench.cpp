// Downloads one address into a file the way the update check does, and reports the process's
// peak memory: the download streams, so the peak must not grow with the file.
//   download_bench <url> <target file>

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "common/app_error.h"
#include "common/text.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_http.h"

namespace {

std::string Utf8(const wchar_t* text) {
  const std::wstring_view wide(text);
  return hanamizu::Utf16ToUtf8(
      std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

struct CountingSink : hanamizu::ByteSink {
  hanamizu::ByteSink& inner;
  unsigned long long bytes = 0;
  explicit CountingSink(hanamizu::ByteSink& target) : inner(target) {}
  void Write(std::string_view data) override {
    bytes += data.size();
    inner.Write(data);
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: download_bench <url> <target file>\n");
    return 2;
  }
  const std::string url = Utf8(argv[1]);
  const std::string target = Utf8(argv[2]);
  hanamizu::win32::Win32FileSystem files;
  hanamizu::win32::Win32HttpClient http;
  const auto start = std::chrono::steady_clock::now();
  unsigned long long bytes = 0;
  try {
    const auto pending = files.CreatePendingFile(target);
    CountingSink counting(*pending);
    http.Download(url, counting);
    files.RemoveFile(target);
    pending->Commit();
    bytes = counting.bytes;
  } catch (const hanamizu::AppError& error) {
    std::fprintf(stderr, "download failed: %d %s\n", error.number(), error.description().c_str());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  std::printf("bytes=%llu seconds=%.2f peak_working_set_kib=%llu peak_pagefile_kib=%llu\n", bytes,
              seconds, static_cast<unsigned long long>(counters.PeakWorkingSetSize / 1024),
              static_cast<unsigned long long>(counters.PeakPagefileUsage / 1024));
  return 0;
}
