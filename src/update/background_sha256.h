#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/crypto.h"

namespace hanamizu {

// A SHA-256 that runs beside the caller: Add() hands a copy of the bytes to a thread of its own,
// so that hashing a download costs the transfer little time. At most kMostWaiting bytes wait;
// beyond that Add() waits for the hash to catch up.
class BackgroundSha256 : public Sha256 {
 public:
  static constexpr size_t kMostWaiting = 4 << 20;

  explicit BackgroundSha256(std::unique_ptr<Sha256> hash);
  ~BackgroundSha256() override;
  BackgroundSha256(const BackgroundSha256&) = delete;
  BackgroundSha256& operator=(const BackgroundSha256&) = delete;

  void Add(std::string_view bytes) override;
  // The digest of all that was added; rethrows what the hash threw.
  Sha256Digest Finish() override;

 private:
  void Run();

  std::unique_ptr<Sha256> hash_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::string> waiting_;
  size_t waiting_bytes_ = 0;
  bool finishing_ = false;
  std::exception_ptr failure_;
  std::thread thread_;  // last: it starts once everything it uses is there
};

}  // namespace hanamizu
