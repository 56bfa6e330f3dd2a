#pragma once

// The launcher's splash window as a test sees it over a run, from repeated looks at the
// launcher's windows. Each look is bracketed by the tick before and after it, so the times below
// bound the real events from the safe side.

#include <windows.h>

#include <string>
#include <vector>

#include "launcher_process.h"

namespace hanamizu::e2e {

inline constexpr char kSplashCaption[] = "起動中・・・";

class SplashWatch {
 public:
  // Starts watching; the launcher must have been started just before.
  explicit SplashWatch(const LauncherProcess& launcher);

  // One look at the launcher's windows. Call it in every wait of the test.
  void Look();

  bool seen() const { return handle_ != nullptr; }
  // Whether the last look found the splash window on screen.
  bool visible() const { return visible_; }
  HWND handle() const { return handle_; }
  // The labels' texts at the first sight, top to bottom.
  const std::vector<std::string>& first_labels() const { return first_labels_; }
  // The splash window appeared after this tick (the start of the last look that missed it)...
  ULONGLONG appeared_after() const { return appeared_after_; }
  // ...and was gone by this one (the end of the first look that missed it again); 0 while it
  // has not gone.
  ULONGLONG gone_by() const { return gone_by_; }

  // The labels' texts now, top to bottom (readable while the launcher is busy).
  std::vector<std::string> Labels() const;

 private:
  const LauncherProcess& launcher_;
  HWND handle_ = nullptr;
  bool visible_ = false;
  std::vector<std::string> first_labels_;
  ULONGLONG appeared_after_ = 0;
  ULONGLONG gone_by_ = 0;
};

}  // namespace hanamizu::e2e
