#pragma once

// The stand-ins' control and record files: the driver sets how long a stand-in runs and reads
// when it started (its GetTickCount64) and which process it was.

#include <windows.h>

#include <chrono>
#include <string>

namespace hanamizu::bench {

struct StandInRecord {
  DWORD process_id = 0;
  ULONGLONG start_tick_ms = 0;
};

// `stem` is the program's path without ".exe", e.g. "C:\bench\Hanamizu".
void WriteControl(const std::string& stem, DWORD delay_ms);
void RemoveRecord(const std::string& stem);
// Waits, bounded, until the record appears; throws when it does not.
StandInRecord WaitForRecord(const std::string& stem, std::chrono::milliseconds limit);

}  // namespace hanamizu::bench
