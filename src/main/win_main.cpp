// The launcher's entry point: the real platform, then the start-up sequence, which ends the
// process on every path.

#include <windows.h>

#include "launcher/startup.h"
#include "platform/win32/win32_delay_load.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  hanamizu::win32::LoadSystemLibrariesSafely();
  hanamizu::win32::Win32Platform win32;
  hanamizu::RunLauncher(win32.platform);
  return 0;
}
