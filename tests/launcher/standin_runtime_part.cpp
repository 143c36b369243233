// STAND-IN for a DLL that the private runtime's library imports, as the real
// one imports its companions from its own folder. It records the path it
// was loaded from, through the same KX_STANDIN_JVM_LOG file as the stand-in
// jvm.dll that imports it (built from standin_jvm.cpp with
// KX_STANDIN_IMPORTS_PART).
#include <windows.h>

#include "standin_jvm.h"

extern "C" __declspec(dllexport) void StandInRuntimePart() {}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) standin::RecordModule("runtime part", self);
  return TRUE;
}
