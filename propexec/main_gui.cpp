// propexecw: the GUI-subsystem build of the runner, for starts without a
// console window. The C runtime splits the command line for this build
// exactly as for the console build (__argc/__argv come from the same
// msvcrt start-up), so both hand the child the same arguments.
#include <windows.h>

#include <stdlib.h>

#include "runner.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RunFromProperties(__argc, __argv);
  return 0;
}
