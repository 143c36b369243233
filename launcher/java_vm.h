// The JNI side of kxlaunch: the JDK's own jni.h with the win32 jni_md.h of
// jni_win32/, and the operations main.cpp runs on the virtual machine.
#pragma once
#include <windows.h>

#include <jni.h>

#ifndef KX_JNI_MD_WIN32
#error "jni.h picked a jni_md.h other than launcher/jni_win32/jni_md.h"
#endif
static_assert(sizeof(jint) == 4 && sizeof(jlong) == 8 && sizeof(jchar) == sizeof(WCHAR),
              "JNI types don't match the Windows virtual machine");

// Looks up JNI_CreateJavaVM in the loaded library and calls it with vm, env
// and args in that order. -1 when the library has no such entry, else the
// entry's own result (JNI_OK is success).
jint CreateJavaVMFromLibrary(HMODULE library, JavaVM** vm, JNIEnv** env, JavaVMInitArgs* args);

// The String[] handed to main: one element per argument, converted from the
// ANSI code page, in order. nullptr when any step fails; an exception the
// virtual machine raised then stays pending for FatalJavaError.
jobjectArray BuildMainArgs(JNIEnv* env, char** arguments, int count);

// Describes a pending exception, then ends the process through the virtual
// machine's FatalError.
[[noreturn]] void FatalJavaError(JNIEnv* env, const char* message);
