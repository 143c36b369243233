// STAND-IN for a broken runtime: a jvm.dll that loads but has no
// JNI_CreateJavaVM entry. It only records that it was loaded, through the
// same KX_STANDIN_JVM_LOG file as the working stand-in.
#include <windows.h>

#include "standin_jvm.h"

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) standin::RecordModule("loaded without JNI_CreateJavaVM", self);
  return TRUE;
}
