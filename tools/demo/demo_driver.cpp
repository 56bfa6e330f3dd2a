// Drives a real launcher run for the demo: starts launcher.exe with "boot" in an installation,
// tells what appears on screen, saves a screenshot of each window and answers each message box
// with its first button (OK) after a pause long enough for a person to read it.

#include <windows.h>

#include <cstdio>
#include <set>
#include <string>

#include "launcher_process.h"
#include "screenshot.h"
#include "ui_probe.h"

namespace {

using hanamizu::e2e::LauncherProcess;

std::string Narrow(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
  return text;
}

std::string OneLine(std::string text) {
  for (auto& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

void Say(const std::string& line) {
  std::fputs(("   " + line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

class Driver {
 public:
  Driver(std::string install_dir, std::string shots_dir, int pause_ms)
      : install_dir_(std::move(install_dir)),
        shots_dir_(std::move(shots_dir)),
        pause_ms_(pause_ms) {}

  int Run() {
    const std::string launcher = install_dir_ + "\\launcher.exe";
    LauncherProcess process(launcher, "\"" + launcher + "\" boot", install_dir_);
    process_id_ = process.id();
    Say("launcher.exe boot started (process " + std::to_string(process.id()) + ")");
    const ULONGLONG deadline = GetTickCount64() + 180000;
    while (process.Running() && GetTickCount64() < deadline) {
      for (const auto& window : hanamizu::e2e::VisibleWindows(process.id())) Look(window);
      Sleep(50);
    }
    if (process.Running()) {
      Say("the launcher is still running after 3 minutes; the demo stops it");
      return 1;
    }
    Say("the launcher ended (exit code " + std::to_string(process.ExitCode().value_or(0)) + ")");
    return 0;
  }

 private:
  void Look(const hanamizu::e2e::TopLevelWindow& window) {
    if (seen_.count(window.handle)) return;
    seen_.insert(window.handle);
    if (window.class_name != hanamizu::e2e::kDialogClass) {
      Describe(window.handle, window.caption);
      return;
    }
    const auto box = hanamizu::e2e::Snapshot(window.handle);
    Say("message box \"" + box.caption + "\": " + OneLine(box.text));
    Save(window.handle, "message");
    // The splash window behind the box shows what the launcher is doing meanwhile.
    for (const auto& other : hanamizu::e2e::VisibleWindows(process_id_)) {
      if (other.class_name != hanamizu::e2e::kDialogClass) Describe(other.handle, other.caption);
    }
    Sleep(static_cast<DWORD>(pause_ms_));
    if (!box.buttons.empty()) {
      Say("pressing " + box.buttons.front());
      hanamizu::e2e::Dismiss(box, box.buttons.front());
    }
  }

  void Describe(HWND window, const std::string& caption) {
    std::string shown;
    for (const auto& text : hanamizu::e2e::StaticTexts(window)) shown += " [" + text + "]";
    Say("window \"" + caption + "\"" + shown);
    Save(window, "splash");
  }

  void Save(HWND window, const std::string& what) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%s.bmp", ++shots_, what.c_str());
    const std::string path = shots_dir_ + "\\" + name;
    if (hanamizu::e2e::SaveScreenshot(window, path)) Say("screenshot: " + std::string(name));
  }

  std::string install_dir_;
  std::string shots_dir_;
  int pause_ms_;
  DWORD process_id_ = 0;
  std::set<HWND> seen_;
  int shots_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: demo_driver <installation folder> <screenshot folder> [pause ms] [TEMP]\n",
               stderr);
    return 2;
  }
  const int pause_ms = argc > 3 ? _wtoi(argv[3]) : 1500;
  // The launcher inherits TEMP, where it stores what it downloads.
  if (argc > 4) SetEnvironmentVariableW(L"TEMP", argv[4]);
  return Driver(Narrow(argv[1]), Narrow(argv[2]), pause_ms).Run();
}
