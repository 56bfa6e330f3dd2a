#pragma once

// Reads what another process shows on screen and presses its buttons, without its cooperation.
// Texts are read with InternalGetWindowText, which answers from the window manager's copy of the
// text: it works even while the target's thread is busy and processes no messages, where
// WM_GETTEXT would block. All text is UTF-8.

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "bounded_wait.h"

namespace hanamizu::e2e {

struct TopLevelWindow {
  HWND handle = nullptr;
  std::string caption;
  std::string class_name;
  RECT rect{};    // screen coordinates
  RECT client{};  // client coordinates: left and top are 0
  LONG style = 0;
  bool visible = false;
};

struct Button {
  HWND handle = nullptr;
  std::string text;
  int id = 0;
};

// The class of dialog boxes, message boxes included.
inline constexpr char kDialogClass[] = "#32770";

std::string WindowText(HWND window);
std::string ClassName(HWND window);

// Top-level windows owned by the process, visible or not, in Z order.
std::vector<TopLevelWindow> TopLevelWindows(DWORD process_id);
// Visible top-level windows of the process.
std::vector<TopLevelWindow> VisibleWindows(DWORD process_id);
// Visible top-level windows of the process with the given class.
std::vector<TopLevelWindow> VisibleWindowsOfClass(DWORD process_id, const std::string& class_name);

// Texts of the visible "Static" children that show text (not icons), top to bottom, left to right.
std::vector<std::string> StaticTexts(HWND window);
// Whether a visible "Static" child with SS_ICON style shows an icon.
bool HasIcon(HWND window);
// Visible "Button" children, top to bottom, left to right.
std::vector<Button> Buttons(HWND window);

// Presses a button of a dialog the way a click would report it: WM_COMMAND with the button's id.
// Posted, so it never waits on the target. Returns whether the message was queued.
bool PressButton(HWND dialog, const Button& button);

struct MessageBoxSnapshot {
  HWND handle = nullptr;
  std::string caption;
  std::string text;  // the static texts, joined by "\n" when there are several
  std::vector<std::string> buttons;
  bool has_icon = false;
};

MessageBoxSnapshot Snapshot(HWND dialog);

// The first visible message box of the process, if one is up now.
std::optional<MessageBoxSnapshot> FindMessageBox(DWORD process_id);
// Waits, bounded, until the process shows a message box.
std::optional<MessageBoxSnapshot> WaitForMessageBox(DWORD process_id,
                                                    std::chrono::milliseconds limit = kDefaultWait);

// Presses the box's button with the given text and waits, bounded, until the box is gone.
// Returns false when there is no such button or the box stays.
bool Dismiss(const MessageBoxSnapshot& box, const std::string& button_text,
             std::chrono::milliseconds limit = kDefaultWait);

}  // namespace hanamizu::e2e
