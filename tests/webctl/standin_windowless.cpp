// Stand-in for a server process without any window (the service manager, or
// a web server run as a service): it only waits until it is terminated, or
// gives up after a minute so that nothing outlives the test.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Sleep(60000);
  return 0;
}
