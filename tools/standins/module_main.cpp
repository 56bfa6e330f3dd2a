// A tool module: the launcher only checks that it is installed.

#include "standin.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
