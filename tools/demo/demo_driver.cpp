// Drives a real launcher run for the demo: starts launcher.exe with "boot" in an installation,
// tells what appears on screen, saves a screenshot of each window and answers each message box
// with OK after a pause long enough for a person to read it.

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "probe.h"

namespace {

using namespace hanamizu::probe;

void Say(std::string line) {
  for (auto& c : line) c = c == '\r' || c == '\n' ? ' ' : c;
  std::printf("   %s\n", line.c_str());
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fputs("usage: demo_driver <installation> <screenshot folder (Unix)> [pause ms] [TEMP]\n",
               stderr);
    return 2;
  }
  const std::string install = Utf8(argv[1]), shots = Utf8(argv[2]);
  const DWORD pause = argc > 3 ? _wtoi(argv[3]) : 1500;
  if (argc > 4) SetEnvironmentVariableW(L"TEMP", argv[4]);  // where the launcher downloads
  Process launcher("\"" + install + "\\launcher.exe\" boot", install);
  Say("launcher.exe boot started (process " + std::to_string(launcher.id) + ")");
  std::set<HWND> seen;
  HWND splash = nullptr;
  bool progress_shown = false;
  int shot = 0;
  const auto save = [&](HWND window, const char* what) {
    char name[32];
    std::snprintf(name, sizeof name, "%02d-%s.png", ++shot, what);
    SaveScreenshot(window, shots + "/" + name, false);
    Say(std::string("screenshot: ") + name);
  };
  const bool ended = WaitUntil(
      [&] {
        // A third of the way into the package, once.
        for (HWND bar : progress_shown ? std::vector<HWND>() : Controls(splash, PROGRESS_CLASSW)) {
          const LRESULT position = SendMessageW(bar, PBM_GETPOS, 0, 0);
          if (position < 300) continue;
          progress_shown = true;
          Say("the package is arriving: the progress bar stands at " +
              std::to_string(position / 10) + " %");
          save(splash, "progress");
        }
        for (HWND window : Windows(launcher.id)) {
          if (!seen.insert(window).second) continue;
          if (Text(window) == "起動中・・・") {
            splash = window;
            Say("splash window " + Describe(window));
            save(window, "splash");
            continue;
          }
          Say("message box " + Describe(window));
          save(window, "message");
          Sleep(pause);
          Say("pressing OK");
          Press(window, "OK");
        }
        return launcher.Ended();
      },
      std::chrono::minutes(3));
  Say(ended ? "the launcher ended (exit code " + std::to_string(launcher.ExitCode()) + ")"
            : "the launcher is still running after 3 minutes; the demo stops it");
  return ended ? 0 : 1;
}
