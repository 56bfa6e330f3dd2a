#include "standin_record.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "launcher_process.h"
#include "probe_text.h"

namespace hanamizu::e2e {
namespace {

namespace fs = std::filesystem;

std::string Stem(const std::string& program) {
  return program.substr(0, program.find_last_of('.'));
}

// "key=value" lines; the value runs to the end of its line and may itself hold "=".
std::map<std::string, std::string> ParseLines(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return values;
}

}  // namespace

std::string CopyStandIn(const std::string& name, const std::string& directory) {
  const std::string target = directory + "\\" + name;
  fs::copy_file(Wide(BesideTestExecutable(name)), Wide(target),
                fs::copy_options::overwrite_existing);
  return target;
}

void ControlStandIn(const std::string& program, DWORD exit_code, DWORD delay_ms) {
  std::ofstream(fs::path(Wide(Stem(program) + ".control.txt")), std::ios::binary)
      << "exit_code=" << exit_code << "\r\ndelay_ms=" << delay_ms << "\r\n";
}

std::optional<StandInRecord> ReadStandInRecord(const std::string& program) {
  const std::string path = Stem(program) + ".record.txt";
  if (!PathExists(path)) return std::nullopt;
  std::map<std::string, std::string> values = ParseLines(ReadFileBytes(path));
  for (const char* key :
       {"command_line", "current_directory", "show_window", "process_id", "start_tick_ms"}) {
    if (!values.count(key)) throw std::runtime_error(path + " has no " + key);
  }
  StandInRecord record;
  record.command_line = values["command_line"];
  record.current_directory = values["current_directory"];
  record.show_window = values["show_window"];
  record.process_id = static_cast<DWORD>(std::stoul(values["process_id"]));
  record.start_tick_ms = std::stoull(values["start_tick_ms"]);
  return record;
}

std::optional<StandInRecord> WaitForStandInRecord(const std::string& program,
                                                  std::chrono::milliseconds limit) {
  return WaitFor([&] { return ReadStandInRecord(program); }, limit);
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(fs::path(Wide(path)), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace hanamizu::e2e
