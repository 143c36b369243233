#include "java_vm.h"

#include <stdlib.h>

#include <type_traits>

#include "launch_text.h"

namespace {

// The JNI 1.2 invocation entry as the runtime exports it (undecorated name).
using CreateJavaVMEntry = jint(JNICALL*)(JavaVM** vm, void** env, void* args);

#if defined(__i386__)
// A 32-bit jvm.dll removes its callers' arguments itself. Were JNICALL ever
// empty here (the JDK's Linux jni_md.h), every call into the runtime would
// leave its arguments on the stack; the compiler tells the conventions
// apart, so these fail the build instead.
static_assert(std::is_same_v<CreateJavaVMEntry, jint(__stdcall*)(JavaVM**, void**, void*)>,
              "JNI_CreateJavaVM must be called as __stdcall");
static_assert(std::is_same_v<decltype(JNINativeInterface_::FindClass),
                             jclass(__stdcall*)(JNIEnv*, const char*)> &&
                  std::is_same_v<decltype(JNINativeInterface_::NewString),
                                 jstring(__stdcall*)(JNIEnv*, const jchar*, jsize)> &&
                  std::is_same_v<decltype(JNINativeInterface_::GetStaticMethodID),
                                 jmethodID(__stdcall*)(JNIEnv*, jclass, const char*, const char*)> &&
                  std::is_same_v<decltype(JNIInvokeInterface_::DestroyJavaVM),
                                 jint(__stdcall*)(JavaVM*)>,
              "the JNI function tables must hold __stdcall pointers");
#endif

// The runtime's conversion of one argument from the ANSI code page.
constexpr DWORD kArgumentConversion = MB_USEGLYPHCHARS;

}  // namespace

jint CreateJavaVMFromLibrary(HMODULE library, JavaVM** vm, JNIEnv** env, JavaVMInitArgs* args) {
  auto entry = reinterpret_cast<CreateJavaVMEntry>(
      reinterpret_cast<void*>(GetProcAddress(library, "JNI_CreateJavaVM")));
  if (!entry) return -1;
  return entry(vm, reinterpret_cast<void**>(env), args);
}

jobjectArray BuildMainArgs(JNIEnv* env, char** arguments, int count) {
  jclass stringClass = env->FindClass(kStringClassName);
  if (!stringClass) return nullptr;
  jobjectArray array = env->NewObjectArray(count, stringClass, nullptr);
  if (!array) return nullptr;
  for (int i = 0; i < count; ++i) {
    // n counts the UTF-16 units with the terminator; 0 means the
    // conversion failed, which must not become a string of length -1.
    int n = MultiByteToWideChar(CP_ACP, kArgumentConversion, arguments[i], -1, nullptr, 0);
    if (n <= 0) return nullptr;
    auto* text = static_cast<WCHAR*>(malloc(sizeof(WCHAR) * static_cast<size_t>(n)));
    if (!text) return nullptr;
    if (MultiByteToWideChar(CP_ACP, kArgumentConversion, arguments[i], -1, text, n) != n) {
      free(text);
      return nullptr;
    }
    jstring element = env->NewString(reinterpret_cast<const jchar*>(text), n - 1);
    if (!element) {
      free(text);
      return nullptr;
    }
    env->SetObjectArrayElement(array, i, element);
    env->DeleteLocalRef(element);
    free(text);
  }
  return array;
}

void FatalJavaError(JNIEnv* env, const char* message) {
  if (env->ExceptionOccurred()) env->ExceptionDescribe();
  env->FatalError(message);
  // FatalError does not come back; should a runtime return anyway, the
  // launcher must not go on without its argument array.
  exit(1);
}
