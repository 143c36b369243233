#include "installrecord.h"
#include "tearhook.h"
#include "webctl.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  // The library loads its message texts from this DLL's own string table.
  if (reason == DLL_PROCESS_ATTACH) ModuleInstance = instance;
  return TRUE;
}

// Called first by the uninstaller. 0 lets the uninstallation proceed; -1
// says the web-server integration could not be taken out.
extern "C" LONG __stdcall UninstInitialize(DWORD, DWORD, DWORD) {
  if (!IsInstallFlagSet(KX_VALUE_ONLINE)) return 0;
  return RemoveEngineFilter() ? 0 : -1;
}

// Called last by the uninstaller; there is nothing left to do.
extern "C" LONG __stdcall UninstUnInitialize(DWORD, DWORD, DWORD) { return 0; }
