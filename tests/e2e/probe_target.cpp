// A small program that the probe's own tests drive: it shows known windows, so that every reading
// of the probe can be checked against what is really on screen. The first argument picks what it
// shows; the exit code is the answer of the last message box.

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

constexpr wchar_t kCaption[] = L"\x30D7\x30ED\x30FC\x30D6";  // プローブ

int ShowPlain() {
  // Two lines joined by CR LF, OK only, no icon.
  return MessageBoxW(nullptr, L"\x4E00\x884C\x76EE\r\n\x4E8C\x884C\x76EE", kCaption, MB_OK);
}

int ShowQuestion() {
  // Yes and No with the exclamation icon.
  return MessageBoxW(nullptr, L"\x7D9A\x3051\x307E\x3059\x304B", kCaption,
                     MB_YESNO | MB_ICONEXCLAMATION);
}

int ShowCommandLine() {
  return MessageBoxW(nullptr, GetCommandLineW(), kCaption, MB_OK);
}

LRESULT CALLBACK PanelProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wparam, lparam);
}

// A window like a splash screen: two labels and an icon. When `frozen`, the thread stops
// processing messages once the window is up, as a program does during a blocking wait.
int ShowPanel(bool frozen) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW type{};
  type.lpfnWndProc = PanelProcedure;
  type.hInstance = instance;
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  type.lpszClassName = L"ProbePanel";
  RegisterClassW(&type);
  HWND panel = CreateWindowExW(0, L"ProbePanel", kCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU, 100,
                               120, 400, 200, nullptr, nullptr, instance, nullptr);
  // Labels deliberately created bottom one first: the probe reports them in reading order.
  CreateWindowExW(0, L"Static", L"\x8D77\x52D5\x4E2D", WS_CHILD | WS_VISIBLE, 20, 80, 200, 20,
                  panel, nullptr, instance, nullptr);  // 起動中
  CreateWindowExW(0, L"Static", L"\x30BF\x30A4\x30C8\x30EB", WS_CHILD | WS_VISIBLE, 20, 40, 200, 20,
                  panel, nullptr, instance, nullptr);  // タイトル
  CreateWindowExW(0, L"Static", L"\x9690\x308C", WS_CHILD, 20, 120, 200, 20, panel, nullptr,
                  instance, nullptr);  // 隠れ: never shown
  HWND icon = CreateWindowExW(0, L"Static", nullptr, WS_CHILD | WS_VISIBLE | SS_ICON, 300, 40, 32,
                              32, panel, nullptr, instance, nullptr);
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_APPLICATION)), 0);
  ShowWindow(panel, SW_SHOWNORMAL);
  UpdateWindow(panel);
  if (frozen) {
    Sleep(INFINITE);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

std::wstring FirstArgument() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring first = count > 1 ? arguments[1] : L"";
  LocalFree(arguments);
  return first;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring mode = FirstArgument();
  if (mode == L"plain") return ShowPlain();
  if (mode == L"question") return ShowQuestion();
  if (mode == L"echo") return ShowCommandLine();
  if (mode == L"twice") return ShowPlain() + ShowPlain();
  if (mode == L"panel") return ShowPanel(false);
  if (mode == L"frozen-panel") return ShowPanel(true);
  return 99;
}
