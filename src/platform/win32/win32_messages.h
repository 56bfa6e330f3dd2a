#pragma once

#include <windows.h>

namespace hanamizu::win32 {

// Whatever the calling thread's windows have waiting, handled now.
void HandleWaitingMessages();

// Waits up to milliseconds for object to be signalled (with none, just the time) while the
// calling thread's windows keep answering: messages are handled as they come, at least every
// 100 ms. Says whether the object was signalled.
bool WaitHandlingMessages(HANDLE object, DWORD milliseconds);

}  // namespace hanamizu::win32
