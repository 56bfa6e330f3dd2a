// What the launcher's log costs a launch: the log opened where the launcher keeps it, the ~40
// lines of a whole update run appended, the log let go; ROUNDS launches (default 1000), each timed,
// the opening, the lines and the release apart. The log's folders are removed first, so that the
// first launch makes them; the rounds write some 4 MB, so the log is renamed as the previous one
// a few times on the way.
//   log_bench [rounds]

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_system.h"
#include "probe.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double, std::milli>(end - start).count();
}

// An update run as the launcher tells it: start-up, the list, the offer, the download, the check,
// the package and the main program.
std::vector<std::string> UpdateRunLines(uint32_t pid) {
  const std::string home = "C:\\Program Files (x86)\\Hanamizu\\ハナミズ台帳ツール V4";
  const std::string folder =
      "C:\\Users\\山田 太郎\\AppData\\Local\\Temp\\hmz-5f3a9c0e12b7d468\\HanamizuSetup.exe";
  std::vector<std::string> lines = {
      "launcher.exe 4.0.3.118 started, process " + std::to_string(pid) + ", arguments: boot",
      "Windows 10.0.19045, code page 932, user 山田 太郎",
      "directory: " + home,
      "oem.ini: TITLE=ハナミズ台帳ツール REGISTRY=BENCH",
      "settings: HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\di04BENCH",
      "default profile: 12 values brought in line, 0 failed",
      "tool modules: PRT1.EXE PRT2.EXE",
      "auto-update: on (自動ｱｯﾌﾟﾃﾞｰﾄ=1)",
      "main program: " + home + "\\Hanamizu.exe version 8.1.25.0",
      "update list: https://update.example.com/v4/di04.dat",
      "update list: HTTP 200, 412 bytes in 38 ms, ETag \"6f1c-5e2a9b\"",
      "update list: HMZ2 block, key 2027.pub.pem, sequence 17 (accepted 16), expires "
      "2027-01-06 00:00:00 UTC",
      "update list: version 8.1.26, package HanamizuSetup.exe, 268435456 bytes, SHA-256 "
      "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08",
      "verdict: newer package offered (8.1.25 -> 8.1.26)",
      "message box (question, yes/no): 新しいバージョン 8.1.26 が公開されています。"
      "今すぐ更新しますか？",
      "answer: yes",
      "download folder: " + folder.substr(0, folder.rfind('\\')) + " (made, protected)",
      "free space: 52.31 GiB on C:\\, 266.00 MiB needed",
      "download: https://update.example.com/v4/HanamizuSetup.exe -> " + folder + ".part",
      "download: part of 134217728 bytes kept from 2026-12-06 18:02:11, asking for the rest",
      "download: HTTP 206, Content-Range bytes 134217728-268435455/268435456",
  };
  for (int percent = 60; percent <= 100; percent += 10) {
    lines.push_back("download: " + std::to_string(percent) + "%, " +
                    std::to_string(268435456ULL * percent / 100) + " of 268435456 bytes, " +
                    std::to_string(120 + percent / 10) + ".4 MiB/s");
  }
  const std::vector<std::string> rest = {
      "download: done, 134217728 bytes in 1042 ms (122.8 MiB/s), no stall",
      "check: size 268435456 and SHA-256 match the signed block",
      "commit: " + folder + " replaces the earlier package, held for reading",
      "second hash through the held handle: match, 1104 ms",
      "earlier download folders removed: hmz-0c4e7d21a9f35b86",
      "update list sequence 17 kept (更新ﾘｽﾄ連番)",
      "message box (information): 更新パッケージを起動します。画面の指示に従ってください。",
      "package started: \"" + folder + "\" (ShellExecuteExW, open)",
      "package process 5120, elevated: no",
      "splash window shown 3012 ms",
      "main program: \"" + home + "\\Hanamizu.exe\" /S di04BENCH",
      "main program started, process 6044",
      "main program ended, exit code 0, after 10021 ms",
      "error log (jiban.err): nothing written",
      "launcher ended, exit code 0, after 14873 ms",
  };
  lines.insert(lines.end(), rest.begin(), rest.end());
  return lines;
}

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(hanamizu::probe::Wide(path).c_str(), GetFileExInfoStandard, &data))
    return 0;
  return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Mean(const std::vector<double>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::stoi(argv[1]) : 1000;
  hanamizu::win32::Win32FileSystem files;
  hanamizu::win32::Win32SystemServices system;
  const std::string root = system.LocalAppDataFolder() + "\\Hanamizu";
  const std::string folder = root + "\\di04BENCH", path = folder + "\\launcher.log";
  DeleteFileW(hanamizu::probe::Wide(path).c_str());
  DeleteFileW(hanamizu::probe::Wide(folder + "\\launcher.previous.log").c_str());
  RemoveDirectoryW(hanamizu::probe::Wide(folder).c_str());
  RemoveDirectoryW(hanamizu::probe::Wide(root).c_str());  // unless downloads left folders there

  const std::vector<std::string> lines = UpdateRunLines(system.ProcessId());
  uint64_t bytes = 0;  // each line with its stamp and CR LF
  for (const std::string& line : lines) bytes += 31 + line.size() + 2;
  std::vector<double> launch, open, append, release, renaming;  // renaming: launches that rotated
  uint64_t size = 0;
  for (int round = 0; round < rounds; ++round) {
    const Clock::time_point start = Clock::now();
    std::unique_ptr<hanamizu::LogFile> log = files.OpenLog(path);
    const Clock::time_point opened = Clock::now();
    if (!log) {
      std::fprintf(stderr, "log_bench: %s could not be opened\n", path.c_str());
      return 1;
    }
    for (const std::string& line : lines) log->Append(line);
    const Clock::time_point appended = Clock::now();
    log.reset();
    const Clock::time_point end = Clock::now();
    launch.push_back(MsBetween(start, end));
    open.push_back(MsBetween(start, opened));
    append.push_back(MsBetween(opened, appended));
    release.push_back(MsBetween(appended, end));
    const uint64_t now = FileSize(path);
    if (now < size) renaming.push_back(launch.back());
    size = now;
  }
  const uint64_t previous = FileSize(folder + "\\launcher.previous.log");
  std::vector<double> sorted = launch;
  std::sort(sorted.begin(), sorted.end());
  std::printf(
      "log_bench launches=%d lines=%zu bytes=%llu first_ms=%.3f mean_ms=%.3f median_ms=%.3f "
      "p99_ms=%.3f max_ms=%.3f open_ms=%.3f append_ms=%.3f release_ms=%.3f rotations=%zu "
      "rotation_ms=%.3f "
      "log_bytes=%llu previous_bytes=%llu\n",
      rounds, lines.size(), static_cast<unsigned long long>(bytes), launch.front(), Mean(launch),
      Median(launch), sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)], sorted.back(),
      Median(open), Median(append), Median(release), renaming.size(),
      renaming.empty() ? 0.0 : Median(renaming), static_cast<unsigned long long>(size),
      static_cast<unsigned long long>(previous));
  return 0;
}
