#pragma once

// Another process watched through a handle of the test's own, so that its end can be told apart
// from the end of the launcher that started it.

#include <windows.h>

#include <chrono>

#include "bounded_wait.h"

namespace hanamizu::e2e {

// A process watched by its identifier, opened while it still runs.
class ProcessWatch {
 public:
  // Opens the process; throws when it cannot (it has already gone, or never was).
  explicit ProcessWatch(DWORD process_id);
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;

  bool Ended() const;
  // Waits, bounded, for the end; returns whether the process has ended.
  bool WaitForEnd(std::chrono::milliseconds limit = kDefaultWait) const;

 private:
  HANDLE process_;
};

}  // namespace hanamizu::e2e
