// Shared by the pieces of the stand-in jvm.dll (standin_jvm.cpp). Plain C
// runtime only, no C++ library: the stand-in should cost little to load,
// so that the launch benchmark times the launcher.
#pragma once
#include <windows.h>

namespace standin {

// Appends one line to the file named by KX_STANDIN_JVM_LOG (nothing when
// unset). printf-style.
void Record(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// Appends "<label> <full path of module>".
void RecordModule(const char* label, HINSTANCE module);
// A malloc'ed copy of an environment variable of this process, of any
// length, that the caller frees; nullptr when unset.
char* Env(const char* name);
// True when KX_STANDIN_JVM_FAIL names this misbehaviour.
bool FailIs(const char* what);
// printf into a new malloc'ed text that the caller frees.
char* Format(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
// Installs the malloc watch of KX_STANDIN_JVM_MALLOC on the launcher's
// import table, when that variable is set.
void WatchLauncherHeap();

}  // namespace standin
