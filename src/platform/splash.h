#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hanamizu {

struct TwipsSize {
  float width = 0;
  float height = 0;
};

// The splash window's platform side: the window with its frame, icon and two labels. Where it
// stands and what its title label says is decided by the core's load handler.
class SplashWindow {
 public:
  virtual ~SplashWindow() = default;
  // Outer size, frame and caption included, in twips.
  virtual TwipsSize OuterSize() = 0;
  virtual void MoveLeft(float left_twips) = 0;
  virtual void MoveTop(float top_twips) = 0;
  virtual std::string TitleLabelText() = 0;  // Label1
  virtual void SetTitleLabelText(const std::string& text) = 0;
  virtual void SetStatusText(const std::string& text) = 0;  // lblKidochu
  // A download's progress bar under the status label: received of announced bytes, or moving on
  // its own when nothing was announced. Hidden again by HideProgress.
  virtual void ShowProgress(uint64_t received, std::optional<uint64_t> announced) = 0;
  virtual void HideProgress() = 0;
  virtual void ShowModeless() = 0;
  virtual void Repaint() = 0;
  // The native window handle, e.g. as the owner window of a started package.
  virtual uintptr_t Handle() = 0;
  virtual void Unload() = 0;
};

}  // namespace hanamizu
