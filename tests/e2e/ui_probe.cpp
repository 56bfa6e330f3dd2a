#include "ui_probe.h"

#include <algorithm>
#include <iterator>
#include <tuple>

#include "probe_text.h"

namespace hanamizu::e2e {
namespace {

std::vector<HWND> Children(HWND parent) {
  struct Search {
    HWND parent;
    std::vector<HWND> found;
  } search{parent, {}};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM context) -> BOOL {
        // Direct children only: a dialog's controls, not what they may contain.
        auto& s = *reinterpret_cast<Search*>(context);
        if (GetAncestor(child, GA_PARENT) == s.parent) s.found.push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool IsClass(HWND window, const char* name) {
  return CompareStringOrdinal(Wide(ClassName(window)).c_str(), -1, Wide(name).c_str(), -1, TRUE) ==
         CSTR_EQUAL;
}

bool IsIconStatic(HWND window) {
  return (GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

// Visible children of one class, in reading order: top to bottom, then left to right.
std::vector<HWND> VisibleChildrenOfClass(HWND parent, const char* class_name) {
  std::vector<HWND> found;
  for (HWND child : Children(parent)) {
    if (IsWindowVisible(child) && IsClass(child, class_name)) found.push_back(child);
  }
  std::stable_sort(found.begin(), found.end(), [](HWND a, HWND b) {
    RECT ra{}, rb{};
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return std::tie(ra.top, ra.left) < std::tie(rb.top, rb.left);
  });
  return found;
}

}  // namespace

std::string WindowText(HWND window) {
  std::wstring text(4096, L'\0');
  const int length = InternalGetWindowText(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(std::max(length, 0)));
  return Utf8(text);
}

std::string ClassName(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return Utf8(std::wstring_view(name, static_cast<size_t>(std::max(length, 0))));
}

std::vector<TopLevelWindow> TopLevelWindows(DWORD process_id) {
  struct Search {
    DWORD process_id;
    std::vector<TopLevelWindow> found;
  } search{process_id, {}};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s.process_id) return TRUE;
        TopLevelWindow info;
        info.handle = window;
        info.caption = WindowText(window);
        info.class_name = ClassName(window);
        GetWindowRect(window, &info.rect);
        GetClientRect(window, &info.client);
        info.style = GetWindowLongW(window, GWL_STYLE);
        info.visible = IsWindowVisible(window) != FALSE;
        s.found.push_back(std::move(info));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<TopLevelWindow> VisibleWindows(DWORD process_id) {
  std::vector<TopLevelWindow> windows = TopLevelWindows(process_id);
  std::erase_if(windows, [](const TopLevelWindow& w) { return !w.visible; });
  return windows;
}

std::vector<TopLevelWindow> VisibleWindowsOfClass(DWORD process_id, const std::string& class_name) {
  std::vector<TopLevelWindow> windows = VisibleWindows(process_id);
  std::erase_if(windows,
                [&](const TopLevelWindow& w) { return !IsClass(w.handle, class_name.c_str()); });
  return windows;
}

std::vector<std::string> StaticTexts(HWND window) {
  std::vector<std::string> texts;
  for (HWND child : VisibleChildrenOfClass(window, "Static")) {
    if (!IsIconStatic(child)) texts.push_back(WindowText(child));
  }
  return texts;
}

bool HasIcon(HWND window) {
  for (HWND child : VisibleChildrenOfClass(window, "Static")) {
    if (!IsIconStatic(child)) continue;
    // The icon handle lives in the control's window data, so this needs the target to answer;
    // a bounded send keeps a frozen target from hanging the test.
    DWORD_PTR icon = 0;
    if (SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon) && icon) {
      return true;
    }
  }
  return false;
}

std::vector<Button> Buttons(HWND window) {
  std::vector<Button> buttons;
  for (HWND child : VisibleChildrenOfClass(window, "Button")) {
    buttons.push_back({child, WindowText(child), GetDlgCtrlID(child)});
  }
  return buttons;
}

bool PressButton(HWND dialog, const Button& button) {
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button.id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button.handle)) != FALSE;
}

MessageBoxSnapshot Snapshot(HWND dialog) {
  MessageBoxSnapshot box;
  box.handle = dialog;
  box.caption = WindowText(dialog);
  for (const std::string& text : StaticTexts(dialog)) {
    box.text += box.text.empty() ? text : "\n" + text;
  }
  for (const Button& button : Buttons(dialog)) box.buttons.push_back(button.text);
  box.has_icon = HasIcon(dialog);
  return box;
}

std::optional<MessageBoxSnapshot> FindMessageBox(DWORD process_id) {
  const std::vector<TopLevelWindow> boxes = VisibleWindowsOfClass(process_id, kDialogClass);
  if (boxes.empty()) return std::nullopt;
  return Snapshot(boxes.front().handle);
}

std::optional<MessageBoxSnapshot> WaitForMessageBox(DWORD process_id,
                                                    std::chrono::milliseconds limit) {
  return WaitFor([&] { return FindMessageBox(process_id); }, limit);
}

bool Dismiss(const MessageBoxSnapshot& box, const std::string& button_text,
             std::chrono::milliseconds limit) {
  for (const Button& button : Buttons(box.handle)) {
    if (button.text != button_text) continue;
    if (!PressButton(box.handle, button)) return false;
    return WaitUntil([&] { return !IsWindow(box.handle); }, limit);
  }
  return false;
}

}  // namespace hanamizu::e2e
