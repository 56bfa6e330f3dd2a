#include "process_watch.h"

#include <stdexcept>
#include <string>

namespace hanamizu::e2e {

ProcessWatch::ProcessWatch(DWORD process_id)
    : process_(OpenProcess(SYNCHRONIZE, FALSE, process_id)) {
  if (!process_) {
    throw std::runtime_error("cannot open process " + std::to_string(process_id) + " (error " +
                             std::to_string(GetLastError()) + ")");
  }
}

ProcessWatch::~ProcessWatch() {
  CloseHandle(process_);
}

bool ProcessWatch::Ended() const {
  return WaitForSingleObject(process_, 0) == WAIT_OBJECT_0;
}

bool ProcessWatch::WaitForEnd(std::chrono::milliseconds limit) const {
  return WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) == WAIT_OBJECT_0;
}

}  // namespace hanamizu::e2e
