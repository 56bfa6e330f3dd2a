#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/http.h"

namespace hanamizu::win32 {

// Where a transfer running on its own thread hands its bytes over, in buffers that go round
// (fresh memory for every read costs more than the read). Push() waits while enough is already
// waiting, and throws TransferAborted once the caller has given up.
class TransferQueue {
 public:
  virtual ~TransferQueue() = default;
  virtual void Announce(const DownloadStart& start) = 0;  // before the first Push
  virtual std::string Buffer(size_t size) = 0;  // one to read into: size bytes, maybe used before
  virtual void Push(std::string bytes) = 0;
};
struct TransferAborted {};

// See HttpTimeouts.
struct TransferLimits {
  std::optional<std::chrono::milliseconds> deadline;  // for the whole transfer
  std::chrono::milliseconds stall_window{60000};      // fails when less than stall_bytes
  uint64_t stall_bytes = 64 << 10;                    //   arrive within the window
  std::chrono::milliseconds stop_wait{5000};          // for a transfer given up to return
};

// Runs fetch on a thread of its own while the calling thread keeps its windows answering
// (messages handled at least every 100 ms): the start and the bytes come back in order and go to
// target on the calling thread, with the whole file's progress at most every 100 ms. When target
// throws, the limits are broken, fetch fails or anything else goes wrong, abort() is called for
// fetch's blocked calls to return and fetch's thread is waited for, the windows still answering,
// for at most stop_wait: one that has not returned by then is left to end on its own (fetch and
// abort must own all they use). Then the error is thrown: target's as it is, the limits' as
// AppError, fetch's as fetch threw it.
void RunPumpedTransfer(const std::function<void(TransferQueue&)>& fetch,
                       const std::function<void()>& abort, ByteSink& target,
                       DownloadProgress* progress, const TransferLimits& limits);

// What target threw, told apart from fetch's failures.
struct TargetFailure {
  std::exception_ptr error;
};

}  // namespace hanamizu::win32
