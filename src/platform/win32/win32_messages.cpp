#include "platform/win32/win32_messages.h"

#include <algorithm>

namespace hanamizu::win32 {

void HandleWaitingMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to end the run here; leave it for a message loop that owns one.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool WaitHandlingMessages(HANDLE object, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now >= end ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(end - now, 100));
    const DWORD woken =
        MsgWaitForMultipleObjects(object ? 1 : 0, &object, FALSE, left, QS_ALLINPUT);
    if (object && woken == WAIT_OBJECT_0) return true;
    HandleWaitingMessages();
    if (GetTickCount64() >= end) return false;
  }
}

}  // namespace hanamizu::win32
