#include "win32/win32_standins.h"

#include <stdexcept>

#include "platform/win32/win32_files.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace hanamizu::win32::testing {

std::string CopyStandIn(const ScratchDirectory& dir, const std::string& name) {
  const std::string target = dir.File(name);
  if (!CopyFileW(Widen(ExecutableDirectory() + "\\" + name).c_str(), Widen(target).c_str(),
                 FALSE)) {
    throw std::runtime_error("cannot copy the stand-in " + name);
  }
  return target;
}

namespace {

std::string Stem(const std::string& program) {
  return program.substr(0, program.find_last_of('.'));
}

}  // namespace

void ControlStandIn(const std::string& program, DWORD exit_code, DWORD delay_ms) {
  WriteBytes(Stem(program) + ".control.txt", "exit_code=" + std::to_string(exit_code) +
                                                 "\r\ndelay_ms=" + std::to_string(delay_ms) +
                                                 "\r\n");
}

std::string RecordPathOf(const std::string& program) {
  return Stem(program) + ".record.txt";
}

std::map<std::string, std::string> ReadRecord(const std::string& program) {
  std::map<std::string, std::string> record;
  const std::string text = ReadBytes(RecordPathOf(program));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find('=');
    if (equals != std::string::npos) record[line.substr(0, equals)] = line.substr(equals + 1);
    start = end + 1;
  }
  return record;
}

bool WaitForFile(const std::string& path, DWORD timeout_ms) {
  const std::wstring wide = Widen(path);
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  for (;;) {
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(10);
  }
}

bool ProcessHasEnded(DWORD process_id) {
  KernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, process_id));
  return !process || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace hanamizu::win32::testing
