// What the commit of a package costs: a part of SIZE MiB written as a download writes it, then
// its commit (the rename and the hold) and the second hash through the held handle, each timed,
// ROUNDS times.
//   commit_bench <folder> <size MiB> <rounds>

#include <chrono>
#include <cstdio>
#include <string>

#include "common/app_error.h"
#include "platform/win32/win32_platform.h"
#include "probe.h"
#include "update/package_download.h"

namespace {

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fputs("usage: commit_bench <folder> <size MiB> <rounds>\n", stderr);
    return 2;
  }
  const std::string target = hanamizu::probe::Utf8(argv[1]) + "\\package.exe";
  const uint64_t size = std::stoull(argv[2]) << 20;
  hanamizu::win32::Win32Platform win32;
  hanamizu::Platform& platform = win32.platform;
  const std::string piece(1 << 20, 'p');
  for (int round = 0; round < std::stoi(argv[3]); ++round) {
    try {
      const auto part = platform.files.OpenPartialFile(target);
      part->Restart({"http://127.0.0.1/package.exe", "\"v\"", size});
      const auto hash = platform.crypto.StartSha256();
      for (uint64_t written = 0; written < size; written += piece.size()) {
        part->Write(piece);
        hash->Add(piece);
      }
      const hanamizu::Sha256Digest digest = hash->Finish();
      auto start = std::chrono::steady_clock::now();
      const auto held = part->Commit();
      const double commit_ms = MsSince(start);
      start = std::chrono::steady_clock::now();
      hanamizu::CheckHeldPackage(platform, *held, size, digest);
      std::printf("commit_bench mib=%llu commit_ms=%.0f second_hash_ms=%.0f\n",
                  static_cast<unsigned long long>(size >> 20), commit_ms, MsSince(start));
    } catch (const hanamizu::AppError& error) {
      std::fprintf(stderr, "commit failed: %d %s\n", error.number(), error.description().c_str());
      return 1;
    }
  }
  return 0;
}
