#pragma once

// A launcher installation made fresh for one test: its own directory with a copy of the built
// launcher.exe, plus whatever files the test puts beside it.

#include <windows.h>

#include <optional>
#include <string>

#include "launcher_process.h"
#include "ui_probe.h"

namespace hanamizu::e2e {

class Installation {
 public:
  // A directory named after the running test under the root (HANAMIZU_E2E_ROOT, or D:\e2e where
  // scripts/wine-run maps D: into the build tree), so launches also cross drives.
  Installation();
  ~Installation();
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  const std::string& directory() const { return directory_; }
  std::string PathOf(const std::string& name) const { return directory_ + "\\" + name; }
  std::string launcher() const { return PathOf("launcher.exe"); }

  // A small file; `attributes` such as FILE_ATTRIBUTE_HIDDEN are set and checked.
  void AddFile(const std::string& name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) const;
  void AddDirectory(const std::string& name) const;
  // Writes oem.ini in Shift-JIS, as the installer does on a Japanese system.
  void WriteOemIni(const std::string& utf8_text) const;

  // Starts the launcher with this exact command line from a current directory on another drive.
  LauncherProcess Start(const std::string& command_line) const;

 private:
  std::string directory_;
};

// The ANSI code page of Japanese Windows: oem.ini and the launcher's narrow calls rely on it.
inline constexpr UINT kShiftJis = 932;

// Waits, bounded, until the launcher shows a message box or ends; gives the box if one came.
// When neither happens in time, the launcher is still running and ExitCode() tells so.
std::optional<MessageBoxSnapshot> NextBoxOrEnd(const LauncherProcess& launcher);

// Checks a box as the launcher's own messages look: the product title as caption, the text, OK
// only, no icon, and nothing else of the launcher's on screen.
void ExpectPlainMessage(const MessageBoxSnapshot& box, DWORD launcher_id, const std::string& text);

// Presses OK, then checks that the launcher ends with exit code 0 and shows no further box.
void ExpectEndAfterOk(const MessageBoxSnapshot& box, const LauncherProcess& launcher);

}  // namespace hanamizu::e2e
