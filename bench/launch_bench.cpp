// The in-Wine half of bench/run: starts launcher.exe in the bench's installation and watches it
// from outside with the tests' probe. Prints one line "name key=value ..." per measurement.
//   launch_bench launch <installation> <runs> <main program ms>
//   launch_bench update <installation> <update address/> <temp directory> [<proxy address/>]

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "probe.h"

namespace {

using namespace hanamizu::probe;

const std::string kSplash = "起動中・・・";
const std::string kSettings = "Software\\VB and VBA Program Settings\\di04BENCH";  // REGISTRY=BENCH
constexpr double kMinimumMs = 3000;     // that the splash stays
constexpr DWORD kLauncherPollMs = 100;  // how often the launcher looks at the running main program

// Prints one line "name key=value ..." from keys and values in turn.
void Figures() {
  std::printf("\n");
  std::fflush(stdout);
}
template <class... More>
void Figures(const char* key, double value, More... more) {
  std::printf(" %s=%.6g", key, value);
  Figures(more...);
}
template <class... Figure>
void Print(const char* name, Figure... figures) {
  std::printf("%s", name);
  Figures(figures...);
}

double NowMs() {  // finer than the tick count
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now), QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1000 / static_cast<double>(frequency.QuadPart);
}

double CreatedMs(HANDLE process) {  // as Wine's server recorded it
  FILETIME t[4];
  GetProcessTimes(process, &t[0], &t[1], &t[2], &t[3]);
  return static_cast<double>(ULONGLONG{t[0].dwHighDateTime} << 32 | t[0].dwLowDateTime) / 1e4;
}

PROCESS_MEMORY_COUNTERS Memory(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(process, &counters, counters.cb = sizeof counters);
  return counters;
}

// Wine 8 answers GetProcessTimes for another process with the caller's own times: CPU time and
// the resident peak come from /proc of the Unix process, which drive Z: shows.
std::string Proc(unsigned pid, const std::string& file) {
  return ReadBytes("Z:\\proc\\" + std::to_string(pid) + "\\" + file);
}

unsigned UnixPid(const std::string& comm) {  // in this Wine prefix: the tests run in their own
  const std::string prefix =
      '\0' + Utf8(L"WINEPREFIX=" + std::wstring(_wgetenv(L"WINEPREFIX"))) + '\0';
  for (const auto& entry : std::filesystem::directory_iterator(L"Z:\\proc")) {
    const unsigned pid = std::wcstoul(entry.path().filename().c_str(), nullptr, 10);
    if (pid && Proc(pid, "comm") == comm + "\n" &&
        ('\0' + Proc(pid, "environ")).find(prefix) != std::string::npos)
      return pid;
  }
  throw std::runtime_error("no Unix process " + comm);
}

double CpuMs(unsigned pid) {  // 0 once the process has gone
  double nanoseconds = 0;
  std::error_code gone;
  for (const auto& task : std::filesystem::directory_iterator(
           L"Z:\\proc\\" + std::to_wstring(pid) + L"\\task", gone)) {
    nanoseconds += std::strtod(ReadBytes(Utf8(task.path()) + "\\schedstat").c_str(), nullptr);
  }
  return nanoseconds / 1e6;
}

// The splash window, or (splash false) another window of the launcher: a message box.
HWND Shown(const Process& launcher, bool splash) {
  for (HWND window : Windows(launcher.id))
    if ((Text(window) == kSplash) == splash) return window;
  return nullptr;
}

// Looks every 5 ms (finer than the tick count's step, coarse enough to leave the CPU to the
// programs measured) until done(now) holds; the spacing of the looks bounds what they saw.
struct Watch {
  std::vector<double> gaps;
  double last = -1;  // -1: the next look starts afresh

  template <class Done>
  double Until(const Process& launcher, Done&& done, double bound_ms, const std::string& what) {
    for (const double end = NowMs() + bound_ms;; Sleep(5)) {
      const double now = NowMs();
      if (last >= 0) gaps.push_back(now - last);
      last = now;
      if (done(now)) return now;
      if (launcher.Ended() || now > end) {
        std::string shown;
        for (HWND window : Windows(launcher.id)) shown += " [" + Describe(window) + "]";
        throw std::runtime_error(what + shown);
      }
    }
  }
  double Median() {
    std::sort(gaps.begin(), gaps.end());
    return gaps.empty() ? 0 : gaps[gaps.size() / 2];
  }
  double Max() const { return gaps.empty() ? 0 : *std::max_element(gaps.begin(), gaps.end()); }
};

void Settings(const std::string& auto_update, const std::string& url) {
  RegDeleteTreeW(HKEY_CURRENT_USER, Wide(kSettings).c_str());
  SetSetting(HKEY_CURRENT_USER, kSettings + "\\system", "自動ｱｯﾌﾟﾃﾞｰﾄ", auto_update);
  if (!url.empty()) SetSetting(HKEY_CURRENT_USER, kSettings + "\\system", "自動ｱｯﾌﾟﾃﾞｰﾄURL", url);
}

// The main-program stand-in runs for delay_ms; its record, renamed into place whole, gives its
// start tick and process id.
void Prepare(const std::string& dir, DWORD delay_ms) {
  WriteBytes(dir + "\\Hanamizu.control.txt", "delay_ms=" + std::to_string(delay_ms) + "\n");
  DeleteFileW(Wide(dir + "\\Hanamizu.record.txt").c_str());
}
std::map<std::string, std::string> Started(const std::string& dir) {
  if (!WaitUntil([&] { return !Record(dir + "\\Hanamizu.exe").empty(); }))
    throw std::runtime_error("no record from the main program");
  return Record(dir + "\\Hanamizu.exe");
}

double PlainStartMs(const std::string& dir) {
  Prepare(dir, 0);
  const ULONGLONG start = GetTickCount64();
  const Process stand_in("\"" + dir + "\\Hanamizu.exe\"", dir);
  const auto record = Started(dir);
  if (!stand_in.Ended(20000)) throw std::runtime_error("the stand-in did not end");
  return static_cast<double>(std::stoull(record.at("start_tick_ms")) - start);
}

void Launch(const std::string& dir, int run, DWORD main_ms, const char* name) {
  Prepare(dir, main_ms);
  const ULONGLONG start_tick = GetTickCount64();
  const double start = NowMs();
  const Process launcher("\"" + dir + "\\launcher.exe\" boot", dir);
  Watch watch;
  double seen = 0, tail = 0, cpu_seen = 0, cpu_tail = 0;
  unsigned pid = 0;
  const double gone = watch.Until(
      launcher,
      [&](double now) {
        const bool up = Shown(launcher, true);
        if (up && !seen) {
          // Finding the Unix process takes 10-30 ms: that pause is no gap between looks.
          seen = now, pid = UnixPid("launcher.exe"), cpu_seen = CpuMs(pid), watch.last = -1;
        } else if (up && !tail && now - seen >= 1000) {  // past the painting and the settings
          tail = now, cpu_tail = CpuMs(pid);
        }
        return seen && !up;
      },
      60000, "no splash came and went");
  const double cpu_gone = CpuMs(pid);
  const auto record = Started(dir);
  const std::unique_ptr<void, decltype(&CloseHandle)> main(
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                  std::stoul(record.at("process_id"))),
      &CloseHandle);
  if (!main) throw std::runtime_error("cannot open the main program's process");
  // /proc forgets an ended process: the last reading before the end stands for the total.
  double cpu_last = cpu_gone;
  for (const double end = NowMs() + main_ms + 30000;
       WaitForSingleObject(main.get(), 50) && NowMs() < end;)
    cpu_last = std::max(cpu_last, CpuMs(pid));
  const double main_end = NowMs();
  while (!launcher.Ended(5) && NowMs() < main_end + 30000)
    cpu_last = std::max(cpu_last, CpuMs(pid));
  if (!launcher.Ended())
    throw std::runtime_error("the launcher did not end after the main program");
  Print(name, "run", run, "main_ms", main_ms, "cpu_to_main_ms", cpu_gone, "overhead_ms",
        static_cast<double>(std::stoull(record.at("start_tick_ms")) - start_tick) - kMinimumMs,
        "created_gap_ms", CreatedMs(main.get()) - CreatedMs(launcher.handle) - kMinimumMs,
        "to_splash_ms", seen - start, "splash_ms", gone - seen, "cpu_startup_ms", cpu_seen,
        "cpu_splash_ms", cpu_gone - cpu_seen, "splash_tail_ms", gone - tail, "cpu_splash_tail_ms",
        cpu_gone - cpu_tail, "cpu_main_ms", cpu_last - cpu_gone, "exit_gap_ms", NowMs() - main_end,
        "poll_median_ms", watch.Median(), "poll_max_ms", watch.Max());
}

// The package's folder of its own in temp (hmz-...), once it is there.
std::string PackageFolder(const std::string& temp) {
  std::error_code none;
  for (const auto& entry : std::filesystem::directory_iterator(Wide(temp), none))
    if (entry.path().filename().wstring().starts_with(L"hmz-")) return Utf8(entry.path());
  return "";
}

// The package download of an update run; through the system proxy at proxy, if one is given.
void Update(const std::string& dir, const std::string& url, const std::string& temp,
            const std::string& proxy) {
  const SystemProxy system_proxy(proxy);
  Settings("1", url);
  SetEnvironmentVariableW(L"TEMP", Wide(temp).c_str());  // the launcher's update directory
  SetEnvironmentVariableW(L"TMP", Wide(temp).c_str());
  std::string package;                              // in a folder of its own, once it is there
  const std::string earlier = PackageFolder(temp);  // the run before's
  std::error_code none;
  if (!earlier.empty()) std::filesystem::remove_all(Wide(earlier), none);
  DeleteFileW(Wide(temp + "\\di04.dat").c_str());
  const Process launcher("\"" + dir + "\\launcher.exe\" boot", dir);
  HWND offer = nullptr, ready = nullptr;
  WaitUntil([&] { return offer = Shown(launcher, false); }, std::chrono::seconds(60));
  if (!offer || !Describe(offer).starts_with("最新版への更新|"))
    throw std::runtime_error("no update offer came");
  const double offer_peak = Memory(launcher.handle).PeakWorkingSetSize / 1024.0;
  const unsigned pid = UnixPid("launcher.exe"), server = UnixPid("wineserver64");
  const double cpu = CpuMs(pid), server_cpu = CpuMs(server), pressed = NowMs();
  if (!Press(offer, "OK")) throw std::runtime_error("cannot accept the offer");
  Watch watch;
  // The file's own time, as curl's: its part appears → the package takes its name.
  double part_seen = 0, package_seen = 0;
  const auto exists = [](const std::string& path) {
    return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  };
  const auto box = [&](double now) {
    if (package.empty() && !PackageFolder(temp).empty())
      package = PackageFolder(temp) + "\\HanamizuSetup.exe";
    if (!part_seen && !package.empty() && exists(package + ".part")) part_seen = now;
    if (!package_seen && !package.empty() && exists(package)) package_seen = now;
    return ready = Shown(launcher, false);
  };
  const double ms = watch.Until(launcher, box, 600000, "no package-ready box") - pressed;
  const double cpu_ms = CpuMs(pid) - cpu, server_ms = CpuMs(server) - server_cpu;
  const auto memory = Memory(launcher.handle);
  const std::string status = Proc(pid, "status");
  std::error_code error;
  const double bytes = static_cast<double>(std::filesystem::file_size(Wide(package), error));
  if (Describe(ready).find("パッケージの更新を開始します") == std::string::npos ||
      !Press(ready, "OK"))
    throw std::runtime_error("not the package-ready box: " + Describe(ready));
  if (!launcher.Ended(30000)) throw std::runtime_error("the launcher did not end");
  const double file_ms = package_seen - part_seen;
  Print("update", "download_ms", ms, "mib_s", bytes / 1048576 / (ms / 1000), "file_ms", file_ms,
        "file_mib_s", bytes / 1048576 / (file_ms / 1000), "cpu_ms", cpu_ms, "server_cpu_ms",
        server_ms, "offer_peak_working_set_kib", offer_peak, "peak_working_set_kib",
        memory.PeakWorkingSetSize / 1024.0, "peak_pagefile_kib", memory.PeakPagefileUsage / 1024.0,
        "peak_rss_kib", std::strtod(status.c_str() + status.find("VmHWM:") + 6, nullptr),
        "poll_median_ms", watch.Median(), "package_started",
        WaitUntil([&] { return !Record(package).empty(); }, std::chrono::seconds(30)));
}

// The steps GetTickCount64 takes over half a second: both ends of the tick figures read it.
void Clock() {
  std::vector<ULONGLONG> steps;
  for (ULONGLONG last = GetTickCount64(), end = last + 500; last < end;) {
    const ULONGLONG now = GetTickCount64();
    if (now != last) steps.push_back(now - last), last = now;
  }
  std::sort(steps.begin(), steps.end());
  Print("clock", "tick_step_min_ms", steps.front(), "tick_step_median_ms", steps[steps.size() / 2]);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode =
      argc == 5 || (argc == 6 && argv[1] == std::wstring(L"update")) ? argv[1] : L"";
  try {
    if (mode == L"launch") {
      // Plain starts and launches take turns, so both see the same state of the machine; with a
      // second installation ("A;B", an earlier launcher) its launches take turns with the first
      // ones, each first in every other run. The main program's run grows by an even share of
      // the launcher's poll from run to run, so that the exit gap meets every point of that poll.
      Clock();
      Settings("0", "");
      const std::string dirs = Utf8(argv[2]), first = dirs.substr(0, dirs.find(';'));
      const std::string earlier =
          dirs.find(';') == std::string::npos ? "" : dirs.substr(first.size() + 1);
      // One launch of each first, not counted: the first launch in a prefix loads Wine's own
      // DLLs from disk, and whichever launcher came first would pay for both.
      Launch(first, 0, 1000, "warm_up");
      if (!earlier.empty()) Launch(earlier, 0, 1000, "warm_up");
      for (int run = 1, runs = _wtoi(argv[3]); run <= runs; ++run) {
        Print("plain", "run", run, "start_ms", PlainStartMs(first));
        const DWORD main_ms = _wtoi(argv[4]) + (run - 1) * kLauncherPollMs / runs;
        if (!earlier.empty() && run % 2 == 0) Launch(earlier, run, main_ms, "launch_earlier");
        Launch(first, run, main_ms, "launch");
        if (!earlier.empty() && run % 2 == 1) Launch(earlier, run, main_ms, "launch_earlier");
      }
    } else if (mode == L"update") {
      Update(Utf8(argv[2]), Utf8(argv[3]), Utf8(argv[4]), argc == 6 ? Utf8(argv[5]) : "");
    } else {
      std::fputs(
          "usage: launch_bench launch <installation>[;<earlier installation>] <runs> <main ms>\n"
          "       launch_bench update <installation> <update address/> <temp directory> "
          "[<proxy address/>]\n",
          stderr);
      return 2;
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "launch_bench: %s\n", error.what());
    return 1;
  }
  return 0;
}
