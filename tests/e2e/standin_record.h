#pragma once

// The stand-in programs (tools/standins) as the end-to-end tests use them: copied into a test's
// installation or served as a package, steered by NAME.control.txt and read back through
// NAME.record.txt, both beside the program.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

#include "bounded_wait.h"

namespace hanamizu::e2e {

// What a stand-in wrote about its own start.
struct StandInRecord {
  std::string command_line;       // exactly as GetCommandLineW gave it
  std::string current_directory;  // as GetCurrentDirectoryW gave it
  std::string show_window;        // the show-window code it was handed, or "none"
  DWORD process_id = 0;
  ULONGLONG start_tick_ms = 0;  // GetTickCount64, comparable with the test's own
};

// Copies the stand-in `name` (e.g. "Hanamizu.exe"), built beside the test executable, to
// `directory` and gives the copy's path.
std::string CopyStandIn(const std::string& name, const std::string& directory);

// Writes the control file of the stand-in at `program`: its exit code and how long it runs.
void ControlStandIn(const std::string& program, DWORD exit_code, DWORD delay_ms);

// The record of the stand-in at `program`; nothing while it has not started (the stand-in writes
// the file whole, so a record that exists is complete).
std::optional<StandInRecord> ReadStandInRecord(const std::string& program);

// Waits, bounded, until the stand-in at `program` has written its record.
std::optional<StandInRecord> WaitForStandInRecord(const std::string& program,
                                                  std::chrono::milliseconds limit = kDefaultWait);

// Whether a file or directory exists at `path`.
bool PathExists(const std::string& path);

// The whole content of a file; throws when it cannot be read.
std::string ReadFileBytes(const std::string& path);

}  // namespace hanamizu::e2e
