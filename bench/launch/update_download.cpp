#include "update_download.h"

#include <windows.h>

#include <stdexcept>

#include "bench_process.h"
#include "launcher_process.h"
#include "poll_log.h"
#include "probe_text.h"
#include "settings_registry.h"
#include "stand_in_files.h"
#include "unix_process.h"
#include "ui_probe.h"

namespace hanamizu::bench {
namespace {

using namespace std::chrono_literals;

constexpr char kOfferCaption[] = "最新版への更新";
constexpr char kReadyText[] = "パッケージの更新を開始します";
constexpr double kDownloadLimitMs = 600000;

void Prepare(const std::string& base_url, const std::string& temp_dir) {
  const e2e::SettingsSection settings{kSettingsApplication};
  settings.Clear();
  settings.SetUser("自動ｱｯﾌﾟﾃﾞｰﾄ", "1");
  settings.SetUser("自動ｱｯﾌﾟﾃﾞｰﾄURL", base_url);
  // The launcher inherits these and takes its update directory from them.
  SetEnvironmentVariableW(L"TEMP", e2e::Wide(temp_dir).c_str());
  SetEnvironmentVariableW(L"TMP", e2e::Wide(temp_dir).c_str());
  for (const char* name : {"\\HanamizuSetup.exe", "\\HanamizuSetup.record.txt", "\\di04.dat"}) {
    DeleteFileW(e2e::Wide(temp_dir + name).c_str());
  }
}

void PressOk(const e2e::MessageBoxSnapshot& box) {
  for (const e2e::Button& button : e2e::Buttons(box.handle)) {
    if (button.id == IDOK && e2e::PressButton(box.handle, button)) return;
  }
  throw std::runtime_error("no OK button on \"" + box.caption + "\"");
}

unsigned long long FileBytes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(e2e::Wide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Polls for the box that follows `previous`; times it from `pressed`.
HWND WaitForNextBox(const e2e::LauncherProcess& launcher, HWND previous, double pressed,
                    DownloadSample& sample) {
  PollLog polls;
  for (;;) {
    HWND next = nullptr;
    for (const auto& box : e2e::VisibleWindowsOfClass(launcher.id(), e2e::kDialogClass)) {
      if (box.handle != previous) next = box.handle;
    }
    const double now = NowMs();
    polls.Mark(now);
    if (next) {
      sample.download_ms = now - pressed;
      sample.poll_median_ms = polls.MedianGap();
      return next;
    }
    if (!launcher.Running()) throw std::runtime_error("the launcher ended during the download");
    if (now - pressed > kDownloadLimitMs) throw std::runtime_error("the download took too long");
    Sleep(kPollMs);
  }
}

}  // namespace

DownloadSample MeasureUpdateDownload(const BenchInstallation& installation,
                                     const std::string& base_url, const std::string& temp_dir) {
  Prepare(base_url, temp_dir);
  DownloadSample sample;
  const e2e::LauncherProcess launcher(installation.launcher(), installation.launcher_command_line(),
                                      installation.directory);
  const auto offer = e2e::WaitForMessageBox(launcher.id(), 60s);
  if (!offer) throw std::runtime_error("no update offer came");
  if (offer->caption != kOfferCaption) {
    throw std::runtime_error("not the offer: " + offer->caption + ": " + offer->text);
  }
  sample.offer_peak_working_set_kib = Memory(launcher.handle()).peak_working_set_kib;

  const auto unix_launcher = UnixProcess::Find("launcher.exe");
  if (!unix_launcher) throw std::runtime_error("cannot find the launcher's Unix process");
  const double cpu_before = unix_launcher->CpuMs().value_or(0);
  const auto server = UnixProcess::Find("wineserver64");
  const double server_before = server ? server->CpuMs().value_or(0) : 0;
  const double pressed = NowMs();
  PressOk(*offer);
  const HWND ready = WaitForNextBox(launcher, offer->handle, pressed, sample);
  sample.cpu_ms = unix_launcher->CpuMs().value_or(0) - cpu_before;
  if (server) sample.server_cpu_ms = server->CpuMs().value_or(0) - server_before;
  sample.peak_rss_kib = unix_launcher->PeakRssKib().value_or(0);
  const MemoryPeaks peaks = Memory(launcher.handle());
  sample.peak_working_set_kib = peaks.peak_working_set_kib;
  sample.peak_pagefile_kib = peaks.peak_pagefile_kib;
  sample.package_bytes = FileBytes(temp_dir + "\\HanamizuSetup.exe");

  const e2e::MessageBoxSnapshot box = e2e::Snapshot(ready);
  if (box.text.find(kReadyText) == std::string::npos) {
    throw std::runtime_error("not the package-ready box: " + box.caption + ": " + box.text);
  }
  PressOk(box);
  if (!launcher.WaitForExit(30s)) throw std::runtime_error("the launcher did not end");
  try {
    WaitForRecord(temp_dir + "\\HanamizuSetup", 30s);
    sample.package_started = true;
  } catch (const std::runtime_error&) {
    sample.package_started = false;
  }
  return sample;
}

}  // namespace hanamizu::bench
