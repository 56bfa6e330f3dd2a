#pragma once

// Waiting on another process without fixed sleeps: poll a condition until it holds or a deadline
// passes. Every wait in the end-to-end tests is bounded, so a hung launcher fails a test instead
// of hanging the run.

#include <chrono>
#include <optional>
#include <thread>
#include <type_traits>

namespace hanamizu::e2e {

using namespace std::chrono_literals;

inline constexpr std::chrono::milliseconds kDefaultWait = 20s;
inline constexpr std::chrono::milliseconds kPollInterval = 20ms;

// Polls `condition` until it returns true or `limit` has passed; returns whether it held. The
// condition is checked once more at the deadline, so a slow poll never loses a late success.
template <class Condition>
bool WaitUntil(Condition&& condition, std::chrono::milliseconds limit = kDefaultWait) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return condition();
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

// Polls `probe`, which returns a std::optional, until it yields a value or `limit` has passed.
template <class Probe>
auto WaitFor(Probe&& probe, std::chrono::milliseconds limit = kDefaultWait)
    -> std::invoke_result_t<Probe&> {
  std::invoke_result_t<Probe&> found;
  WaitUntil([&] { return (found = probe()).has_value(); }, limit);
  return found;
}

}  // namespace hanamizu::e2e
