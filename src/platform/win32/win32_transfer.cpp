#include "platform/win32/win32_transfer.h"

#include <windows.h>
#include <wininet.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/app_error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_messages.h"

namespace hanamizu::win32 {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTick = std::chrono::milliseconds(100);
constexpr size_t kMostWaiting = 4 << 20;  // bytes read but not yet written

class Queue : public TransferQueue {
 public:
  Queue()
      : wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
        done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

  void Announce(const DownloadStart& start) override {
    const std::lock_guard lock(mutex_);
    start_ = start;
    SetEvent(wake_.get());
  }
  std::string Buffer(size_t size) override {
    std::string buffer;
    {
      const std::lock_guard lock(mutex_);
      if (!spare_.empty()) {
        buffer = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    buffer.resize(size);
    return buffer;
  }
  void Push(std::string bytes) override {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return waiting_ < kMostWaiting || aborted_; });
    if (aborted_) throw TransferAborted{};
    waiting_ += bytes.size();
    chunks_.push_back(std::move(bytes));
    SetEvent(wake_.get());
  }
  void Recycle(std::deque<std::string> used) {
    const std::lock_guard lock(mutex_);
    for (std::string& buffer : used) {
      if (spare_.size() < 4) spare_.push_back(std::move(buffer));
    }
  }

  // Fetch's side is done, well or not.
  void Finish(std::exception_ptr failure) {
    const std::lock_guard lock(mutex_);
    finished_ = true;
    failure_ = failure;
    SetEvent(wake_.get());
    SetEvent(done_.get());
  }
  void Abort() {
    const std::lock_guard lock(mutex_);
    aborted_ = true;
    room_.notify_all();
  }
  // What has arrived since the last call (the start, once, before the bytes), and whether that
  // was the end.
  std::deque<std::string> Take(bool& finished, std::optional<DownloadStart>& start) {
    const std::lock_guard lock(mutex_);
    std::deque<std::string> taken;
    taken.swap(chunks_);
    waiting_ = 0;
    room_.notify_all();
    finished = finished_;
    start = std::exchange(start_, std::nullopt);
    return taken;
  }
  std::exception_ptr failure() {
    const std::lock_guard lock(mutex_);
    return failure_;
  }
  HANDLE wake() const { return wake_.get(); }
  HANDLE done() const { return done_.get(); }

 private:
  KernelHandle wake_, done_;
  std::mutex mutex_;
  std::condition_variable room_;
  std::deque<std::string> chunks_;
  std::vector<std::string> spare_;
  size_t waiting_ = 0;
  bool finished_ = false, aborted_ = false;
  std::exception_ptr failure_;
  std::optional<DownloadStart> start_;
};

// The transfer's thread, told to stop and waited for with the windows answering, however the
// caller leaves; one that does not return in time is left to end on its own with what it owns.
class Worker {
 public:
  Worker(std::shared_ptr<Queue> queue, std::function<void(TransferQueue&)> fetch,
         std::function<void()> abort, std::chrono::milliseconds stop_wait)
      : queue_(queue), abort_(std::move(abort)), stop_wait_(stop_wait), thread_([queue, fetch] {
          try {
            fetch(*queue);
            queue->Finish(nullptr);
          } catch (...) {
            queue->Finish(std::current_exception());
          }
        }) {}
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  ~Worker() { Stop(); }

  void Stop() {
    if (!thread_.joinable()) return;
    queue_->Abort();
    abort_();
    if (WaitHandlingMessages(queue_->done(), static_cast<DWORD>(stop_wait_.count()))) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }

 private:
  std::shared_ptr<Queue> queue_;
  std::function<void()> abort_;
  std::chrono::milliseconds stop_wait_;
  std::thread thread_;  // last: it starts once everything it uses is there
};

}  // namespace

void RunPumpedTransfer(const std::function<void(TransferQueue&)>& fetch,
                       const std::function<void()>& abort, ByteSink& target,
                       DownloadProgress* progress, const TransferLimits& limits) {
  const auto queue_owned = std::make_shared<Queue>();
  Queue& queue = *queue_owned;
  Worker worker(queue_owned, fetch, abort, limits.stop_wait);
  const Clock::time_point start = Clock::now();
  Clock::time_point shown{}, mark = start;
  uint64_t received = 0, received_at_mark = 0;
  DownloadStart started;
  const auto to_target = [&](const auto& step) {
    try {
      step();
    } catch (...) {
      const std::exception_ptr failure = std::current_exception();
      worker.Stop();
      throw TargetFailure{failure};
    }
  };
  for (bool finished = false; !finished;) {
    WaitHandlingMessages(queue.wake(), static_cast<DWORD>(kTick.count()));
    std::optional<DownloadStart> answer;
    std::deque<std::string> chunks = queue.Take(finished, answer);
    if (answer) {
      started = *answer;
      to_target([&] { target.Start(*answer); });
    }
    for (const std::string& chunk : chunks) {
      to_target([&] { target.Write(chunk); });
      received += chunk.size();
    }
    queue.Recycle(std::move(chunks));
    const Clock::time_point now = Clock::now();
    if (received - received_at_mark >= limits.stall_bytes) {
      mark = now;
      received_at_mark = received;
    }
    if (!finished && limits.deadline && now - start > *limits.deadline) {
      worker.Stop();
      throw AppError(ERROR_INTERNET_TIMEOUT, "ダウンロードが " +
                                                 std::to_string(limits.deadline->count() / 1000) +
                                                 " 秒以内に終わりませんでした");
    }
    if (!finished && now - mark > limits.stall_window) {
      worker.Stop();
      throw AppError(ERROR_INTERNET_TIMEOUT,
                     "ダウンロードが止まりました (" +
                         std::to_string(limits.stall_window.count() / 1000) + " 秒間に " +
                         std::to_string(limits.stall_bytes) + " バイト未満)");
    }
    if (progress && (finished || now - shown >= kTick)) {
      to_target(
          [&] { progress->Progress(started.offset.value_or(0) + received, started.whole_length); });
      shown = now;
    }
  }
  worker.Stop();
  if (const std::exception_ptr failure = queue.failure()) std::rethrow_exception(failure);
}

}  // namespace hanamizu::win32
