#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hanamizu {

inline constexpr char kLaterButtonText[] = "後で更新";

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
  // its own when nothing was announced; below it, in the frame, the button kLaterButtonText, by
  // which (or by Esc) the user goes to work while the download goes on. The window grows for
  // them and takes input while they show. HideProgress takes them away and restores the design.
  virtual void ShowProgress(uint64_t received, std::optional<uint64_t> announced) = 0;
  virtual void HideProgress() = 0;
  // Whether the user has pressed the button (or Esc) since the bar appeared.
  virtual bool LaterPressed() = 0;
  virtual void ShowModeless() = 0;
  virtual void Repaint() = 0;
  // The native window handle, e.g. as the owner window of a started package.
  virtual uintptr_t Handle() = 0;
  virtual void Unload() = 0;
};

}  // namespace hanamizu
