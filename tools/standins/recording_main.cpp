// The main program and the update package: each records how it was started, then exits as its
// control file says.

#include "standin.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return hanamizu::standin::RecordAndExit();
}
