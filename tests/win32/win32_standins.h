#pragma once

// Driving the stand-in programs (tools/standins) from tests: each test copies one into its own
// scratch directory, where its control and record files live.

#include <windows.h>

#include <map>
#include <string>

#include "win32/win32_test_support.h"
#include "win32_standin_version.h"

namespace hanamizu::win32::testing {

// Copies the stand-in built beside the test executable (e.g. "Hanamizu.exe") into dir.
std::string CopyStandIn(const ScratchDirectory& dir, const std::string& name);

// Writes the stand-in's control file: its exit code and how long it runs.
void ControlStandIn(const std::string& program, DWORD exit_code, DWORD delay_ms);

// The stand-in's record file, e.g. "...\Hanamizu.record.txt".
std::string RecordPathOf(const std::string& program);

// The record's "key=value" lines; empty when there is no record yet.
std::map<std::string, std::string> ReadRecord(const std::string& program);

// Waits, at most timeout_ms, until the file exists.
bool WaitForFile(const std::string& path, DWORD timeout_ms);

// True when no process has this identifier any more or the one that has it has ended.
bool ProcessHasEnded(DWORD process_id);

}  // namespace hanamizu::win32::testing
