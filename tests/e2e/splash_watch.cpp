#include "splash_watch.h"

#include "ui_probe.h"

namespace hanamizu::e2e {

SplashWatch::SplashWatch(const LauncherProcess& launcher)
    : launcher_(launcher), appeared_after_(GetTickCount64()) {}

void SplashWatch::Look() {
  const ULONGLONG before = GetTickCount64();
  HWND found = nullptr;
  for (const TopLevelWindow& window : VisibleWindows(launcher_.id())) {
    if (window.caption == kSplashCaption) found = window.handle;
  }
  const ULONGLONG after = GetTickCount64();
  if (found && !handle_) {
    handle_ = found;
    first_labels_ = StaticTexts(found);
  }
  if (!found && !seen()) appeared_after_ = before;
  if (!found && visible_ && gone_by_ == 0) gone_by_ = after;
  visible_ = found != nullptr;
}

std::vector<std::string> SplashWatch::Labels() const {
  return handle_ ? StaticTexts(handle_) : std::vector<std::string>{};
}

}  // namespace hanamizu::e2e
