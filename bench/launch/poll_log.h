#pragma once

// The moments at which a polling loop looked: their spacing is the resolution of what it saw.

#include <algorithm>
#include <vector>

namespace hanamizu::bench {

class PollLog {
 public:
  void Mark(double now_ms) {
    if (last_ >= 0) gaps_.push_back(now_ms - last_);
    last_ = now_ms;
  }
  // The next look starts afresh: the time spent since the last one is not a gap between looks.
  void Skip() { last_ = -1; }
  double MedianGap() {
    if (gaps_.empty()) return 0;
    std::nth_element(gaps_.begin(), gaps_.begin() + gaps_.size() / 2, gaps_.end());
    return gaps_[gaps_.size() / 2];
  }
  double MaxGap() const {
    return gaps_.empty() ? 0 : *std::max_element(gaps_.begin(), gaps_.end());
  }

 private:
  double last_ = -1;
  std::vector<double> gaps_;
};

}  // namespace hanamizu::bench
