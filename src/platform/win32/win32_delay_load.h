#pragma once

namespace hanamizu::win32 {

// The system DLLs that only the update path needs are delay-loaded (src/platform/win32/delay):
// from here on they, and every DLL loaded by name, come from System32 alone, never from the
// current or the launcher's folder; one that cannot be loaded, or lacks a function, makes the
// call that needed it throw an AppError that names it. Called first thing.
void LoadSystemLibrariesSafely();

}  // namespace hanamizu::win32
