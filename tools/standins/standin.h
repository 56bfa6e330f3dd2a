#pragma once

// What the stand-ins share. A stand-in named NAME.exe reads NAME.control.txt and writes
// NAME.record.txt, both beside itself, one "key=value" per line in UTF-8.
//
// Control keys (all optional):
//   exit_code=N   the exit code (default 0)
//   delay_ms=N    how long to run before exiting (default 0)
//
// Record keys, written once at start, before the delay; the file appears whole:
//   command_line       exactly what GetCommandLineW gave
//   current_directory  the working directory it was started in
//   show_window        the show-window code it was handed, or "none"
//   process_id         its process identifier
//   start_time         local time, yyyy-mm-dd hh:mm:ss.mmm
//   start_tick_ms      GetTickCount64 at start, to compare with other processes

#include <windows.h>

#include <string>

namespace hanamizu::standin {

struct Control {
  DWORD exit_code = 0;
  DWORD delay_ms = 0;
};

// This program's path without its extension, e.g. "C:\Tools\Hanamizu".
std::wstring ModuleStem();

Control ReadControl(const std::wstring& stem);
void WriteRecord(const std::wstring& stem);

// Records, waits and exits as the control file says; the result is the exit code.
int RecordAndExit();

}  // namespace hanamizu::standin
