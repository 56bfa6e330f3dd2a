#include "stand_in_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "bench_process.h"
#include "probe_text.h"

namespace hanamizu::bench {
namespace {

std::string RecordPath(const std::string& stem) {
  return stem + ".record.txt";
}

// Finer than the tick count's step, coarse enough to leave the CPU to the programs measured.
constexpr DWORD kRecordPollMs = 5;

}  // namespace

void WriteControl(const std::string& stem, DWORD delay_ms) {
  std::ofstream(std::filesystem::path(e2e::Wide(stem + ".control.txt")), std::ios::binary)
      << "exit_code=0\ndelay_ms=" << delay_ms << "\n";
}

void RemoveRecord(const std::string& stem) {
  DeleteFileW(e2e::Wide(RecordPath(stem)).c_str());
}

StandInRecord WaitForRecord(const std::string& stem, std::chrono::milliseconds limit) {
  const std::wstring path = e2e::Wide(RecordPath(stem));
  const double deadline = NowMs() + static_cast<double>(limit.count());
  // The stand-in renames a whole record into place, so a file that exists is complete.
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (NowMs() > deadline) throw std::runtime_error("no record from " + stem);
    Sleep(kRecordPollMs);
  }
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  StandInRecord record;
  std::string line;
  while (std::getline(file, line)) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const char* value = line.c_str() + equals + 1;
    if (key == "process_id") record.process_id = std::strtoul(value, nullptr, 10);
    if (key == "start_tick_ms") record.start_tick_ms = std::strtoull(value, nullptr, 10);
  }
  if (record.process_id == 0 || record.start_tick_ms == 0) {
    throw std::runtime_error("incomplete record from " + stem);
  }
  return record;
}

}  // namespace hanamizu::bench
