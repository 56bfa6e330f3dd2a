#include "platform/win32/win32_delay_load.h"

#include <windows.h>
#include <delayimp.h>

#include <string>

#include "common/app_error.h"

namespace hanamizu::win32 {
namespace {

// What the failed call needed: set by the hook, read at once by the stand-in on the same thread.
thread_local std::string missing;

// Called in place of the function that could not be had, with its arguments, which it ignores.
[[noreturn]] void ThrowMissing() {
  throw AppError(ERROR_PROC_NOT_FOUND, "Windows の " + missing + " を読み込めません");
}

FARPROC WINAPI DelayLoadFailed(unsigned notice, PDelayLoadInfo load) {
  missing = load->szDll;
  if (notice == dliFailGetProc && load->dlp.fImportByName)
    missing += std::string(" の ") + load->dlp.szProcName;
  return reinterpret_cast<FARPROC>(&ThrowMissing);
}

}  // namespace

void LoadSystemLibrariesSafely() {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  __pfnDliFailureHook2 = DelayLoadFailed;
}

}  // namespace hanamizu::win32
