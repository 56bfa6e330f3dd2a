#include "update/background_sha256.h"

namespace hanamizu {

BackgroundSha256::BackgroundSha256(std::unique_ptr<Sha256> hash)
    : hash_(std::move(hash)), thread_([this] { Run(); }) {}

BackgroundSha256::~BackgroundSha256() {
  {
    const std::lock_guard lock(mutex_);
    finishing_ = true, waiting_.clear(), waiting_bytes_ = 0;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BackgroundSha256::Add(std::string_view bytes) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return waiting_bytes_ < kMostWaiting || failure_; });
  if (failure_) return;  // Finish() tells
  waiting_.emplace_back(bytes);
  waiting_bytes_ += bytes.size();
  changed_.notify_all();
}

Sha256Digest BackgroundSha256::Finish() {
  {
    std::unique_lock lock(mutex_);
    finishing_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  if (failure_) std::rethrow_exception(failure_);
  return hash_->Finish();
}

void BackgroundSha256::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return !waiting_.empty() || finishing_; });
    if (waiting_.empty()) return;
    const std::string bytes = std::move(waiting_.front());
    waiting_.pop_front();
    lock.unlock();
    try {
      hash_->Add(bytes);
    } catch (...) {
      lock.lock();
      failure_ = std::current_exception();
      waiting_.clear(), waiting_bytes_ = 0;
      changed_.notify_all();
      return;
    }
    lock.lock();
    waiting_bytes_ -= bytes.size();
    changed_.notify_all();
  }
}

}  // namespace hanamizu
