// webpause.dll: the installer loads it and calls its exports by name
// (webpause.def). The library's message texts come from this DLL's own
// string tables, so the entry point keeps the instance handle.
#include "webctl.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) ModuleInstance = instance;
  return TRUE;  // loading never fails on the DLL's account
}
