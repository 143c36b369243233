// STAND-IN for the private runtime's jvm.dll. The real virtual machine lies
// outside the system and is not installed on the test machines; this DLL
// exports JNI_CreateJavaVM (undecorated, JNI 1.2 convention) and implements
// just the JNI calls that kxlaunch makes. It appends one line per event to
// the file named by KX_STANDIN_JVM_LOG (UTF-8), so that a test can see what
// the launcher handed over and in which order.
//
// KX_STANDIN_JVM_FAIL makes it misbehave:
//   create    JNI_CreateJavaVM returns JNI_ERR
//   class     the main class is not found (an exception is left pending)
//   main      the class has no main method (an exception is left pending)
//   throw     main throws
//   strclass  java/lang/String is not found
//   array     NewObjectArray fails with a pending OutOfMemoryError
//   string    NewString fails for the last argument
// KX_STANDIN_JVM_MALLOC=N watches the launcher's own malloc calls from the
// moment this library loads (standin_heap.cpp) and refuses the N-th (0:
// watch only).
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "java_vm.h"
#include "standin_jvm.h"

namespace {

// The status a fatal error ends the process with (that of abort()).
constexpr UINT kFatalErrorStatus = 3;

enum class Kind { Class, String, Array, Throwable };
// Objects are never freed: one launch makes a handful.
struct Object {
  Kind kind;
  char* name;         // class name, or the throwable's description
  jchar* text;        // String
  jsize length;       // String units, Array elements
  Object** elements;  // Array
};

JavaVM_ g_vm;
JNIEnv_ g_env;
JNIInvokeInterface_ g_invoke;
JNINativeInterface_ g_native;
Object* g_mainClass;
Object* g_stringClass;
Object* g_pending;  // the pending exception, or nullptr
char g_mainMethod;  // its address is the main method's identifier
jsize g_arrayLength;  // of the last array made, and the strings made since
jsize g_stringsMade;

// " 0061 00e9": the units as the tests compare them. Caller frees.
char* Hex(const jchar* text, jsize count) {
  char* out = static_cast<char*>(calloc(static_cast<size_t>(count) * 5 + 1, 1));
  if (!out) return nullptr;
  for (jsize i = 0; i < count; ++i) snprintf(out + i * 5, 6, " %04x", text[i]);
  return out;
}

// The same units as UTF-8, readable in the record. Caller frees.
char* Utf8(const jchar* text, jsize count) {
  const auto* wide = reinterpret_cast<const WCHAR*>(text);
  int n = count > 0 ? WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr)
                    : 0;
  char* out = static_cast<char*>(calloc(static_cast<size_t>(n) + 1, 1));
  if (out && n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, count, out, n, nullptr, nullptr);
  return out;
}

Object* NewObject(Kind kind, char* name) {
  auto* object = static_cast<Object*>(calloc(1, sizeof(Object)));
  if (!object) ExitProcess(99);
  object->kind = kind;
  object->name = name;
  return object;
}

Object* Unwrap(jobject handle) { return reinterpret_cast<Object*>(handle); }

const char* KindName(const Object* object) {
  if (!object) return "null";
  switch (object->kind) {
    case Kind::Class: return "class";
    case Kind::String: return "string";
    case Kind::Array: return "array";
    case Kind::Throwable: return "throwable";
  }
  return "?";
}

void Throw(char* description) { g_pending = NewObject(Kind::Throwable, description); }

void WriteStderr(const char* a, const char* b = "", const char* c = "") {
  fputs(a, stderr);
  fputs(b, stderr);
  fputs(c, stderr);
  fflush(stderr);
}

// --- the invocation interface -------------------------------------------

jint JNICALL DestroyJavaVM(JavaVM*) {
  standin::Record("DestroyJavaVM");
  return JNI_OK;
}

// --- the environment functions kxlaunch uses -----------------------------

jclass JNICALL FindClass(JNIEnv*, const char* name) {
  standin::Record("FindClass %s", name);
  Object* found = nullptr;
  if (strcmp(name, "com/veltrana/kestrix/app/ZephylKestrixApp") == 0 && !standin::FailIs("class"))
    found = g_mainClass;
  else if (strcmp(name, "java/lang/String") == 0 && !standin::FailIs("strclass"))
    found = g_stringClass;
  if (!found) Throw(standin::Format("java.lang.NoClassDefFoundError: %s", name));
  return reinterpret_cast<jclass>(found);
}

jmethodID JNICALL GetStaticMethodID(JNIEnv*, jclass cls, const char* name, const char* sig) {
  standin::Record("GetStaticMethodID %s %s on %s", name, sig, KindName(Unwrap(cls)));
  if (Unwrap(cls) != g_mainClass || strcmp(name, "main") != 0 ||
      strcmp(sig, "([Ljava/lang/String;)V") != 0 || standin::FailIs("main")) {
    Throw(standin::Format("java.lang.NoSuchMethodError: %s", name));
    return nullptr;
  }
  return reinterpret_cast<jmethodID>(&g_mainMethod);
}

void RunMain(const char* how, jclass cls, jmethodID method, jobject argsHandle) {
  Object* array = Unwrap(argsHandle);
  bool ok = Unwrap(cls) == g_mainClass && method == reinterpret_cast<jmethodID>(&g_mainMethod);
  standin::Record("%s %s", how, ok ? "main" : "with a wrong class or method");
  if (!array || array->kind != Kind::Array) {
    standin::Record("main received no String array (%s)", KindName(array));
    return;
  }
  standin::Record("main received %ld", static_cast<long>(array->length));
  for (jsize i = 0; i < array->length; ++i) {
    const Object* element = array->elements[i];
    if (!element || element->kind != Kind::String) {
      standin::Record("arg %ld is no string (%s)", static_cast<long>(i), KindName(element));
      continue;
    }
    char* utf8 = Utf8(element->text, element->length);
    char* hex = Hex(element->text, element->length);
    standin::Record("arg %ld [%s]%s", static_cast<long>(i), utf8 ? utf8 : "?", hex ? hex : "?");
    free(utf8);
    free(hex);
  }
  if (standin::FailIs("throw"))
    Throw(standin::Format("java.lang.IllegalStateException: thrown by the stand-in main"));
}

void JNICALL CallStaticVoidMethod(JNIEnv*, jclass cls, jmethodID method, ...) {
  va_list args;
  va_start(args, method);
  jobject array = va_arg(args, jobject);
  va_end(args);
  RunMain("CallStaticVoidMethod", cls, method, array);
}

void JNICALL CallStaticVoidMethodV(JNIEnv*, jclass cls, jmethodID method, va_list args) {
  RunMain("CallStaticVoidMethodV", cls, method, va_arg(args, jobject));
}

void JNICALL CallStaticVoidMethodA(JNIEnv*, jclass cls, jmethodID method, const jvalue* args) {
  RunMain("CallStaticVoidMethodA", cls, method, args ? args[0].l : nullptr);
}

jthrowable JNICALL ExceptionOccurred(JNIEnv*) {
  standin::Record("ExceptionOccurred %s", g_pending ? "yes" : "no");
  return reinterpret_cast<jthrowable>(g_pending);
}

// As the real one: the description goes to stderr and the exception is
// cleared as a side effect.
void JNICALL ExceptionDescribe(JNIEnv*) {
  standin::Record("ExceptionDescribe");
  if (g_pending) WriteStderr("Exception in thread \"main\" ", g_pending->name, "\n");
  g_pending = nullptr;
}

void JNICALL ExceptionClear(JNIEnv*) {
  standin::Record("ExceptionClear");
  g_pending = nullptr;
}

void JNICALL FatalError(JNIEnv*, const char* message) {
  // The record shows a newline in the message as \n.
  char* escaped = static_cast<char*>(calloc(strlen(message) * 2 + 1, 1));
  char* out = escaped;
  for (const char* p = message; escaped && *p; ++p) {
    if (*p == '\n') {
      *out++ = '\\';
      *out++ = 'n';
    } else {
      *out++ = *p;
    }
  }
  standin::Record("FatalError %s", escaped ? escaped : "?");
  WriteStderr("FATAL ERROR in native method: ", message);
  ExitProcess(kFatalErrorStatus);
}

jstring JNICALL NewString(JNIEnv*, const jchar* unicode, jsize length) {
  char* hex = length > 0 ? Hex(unicode, length) : nullptr;
  standin::Record("NewString %ld%s", static_cast<long>(length), hex ? hex : "");
  free(hex);
  if (length < 0) {
    Throw(standin::Format("java.lang.NegativeArraySizeException"));
    return nullptr;
  }
  if (standin::FailIs("string") && g_stringsMade + 1 == g_arrayLength) return nullptr;
  ++g_stringsMade;
  Object* s = NewObject(Kind::String, nullptr);
  s->text = static_cast<jchar*>(calloc(static_cast<size_t>(length) + 1, sizeof(jchar)));
  if (length > 0) memcpy(s->text, unicode, static_cast<size_t>(length) * sizeof(jchar));
  s->length = length;
  return reinterpret_cast<jstring>(s);
}

jobjectArray JNICALL NewObjectArray(JNIEnv*, jsize length, jclass cls, jobject init) {
  Object* elementClass = Unwrap(cls);
  standin::Record("NewObjectArray %ld %s init=%s", static_cast<long>(length),
                  elementClass && elementClass->kind == Kind::Class ? elementClass->name
                                                                    : "(no class)",
                  init ? "object" : "null");
  g_arrayLength = length;
  g_stringsMade = 0;
  if (standin::FailIs("array")) {
    Throw(standin::Format("java.lang.OutOfMemoryError: the stand-in refuses the array"));
    return nullptr;
  }
  if (length < 0) {
    Throw(standin::Format("java.lang.NegativeArraySizeException"));
    return nullptr;
  }
  Object* array = NewObject(Kind::Array, nullptr);
  array->elements = static_cast<Object**>(calloc(static_cast<size_t>(length) + 1, sizeof(Object*)));
  for (jsize i = 0; i < length; ++i) array->elements[i] = Unwrap(init);
  array->length = length;
  return reinterpret_cast<jobjectArray>(array);
}

void JNICALL SetObjectArrayElement(JNIEnv*, jobjectArray arrayHandle, jsize index, jobject value) {
  Object* array = Unwrap(arrayHandle);
  standin::Record("SetObjectArrayElement %ld %s", static_cast<long>(index), KindName(Unwrap(value)));
  if (!array || array->kind != Kind::Array || index < 0 || index >= array->length) {
    Throw(standin::Format("java.lang.ArrayIndexOutOfBoundsException"));
    return;
  }
  array->elements[index] = Unwrap(value);
}

// A local reference goes; the object stays, as the array still holds it.
void JNICALL DeleteLocalRef(JNIEnv*, jobject handle) {
  standin::Record("DeleteLocalRef %s", KindName(Unwrap(handle)));
}

void RecordPath(const char* label) {
  char* path = standin::Env("PATH");
  standin::Record("%s %s", label, path ? path : "(unset)");
  free(path);
}

}  // namespace

namespace standin {

void RecordLoad(HINSTANCE self) {
  RecordModule("loaded", self);
  RecordPath("PATH at load");
}

}  // namespace standin

// Exported as JNI_CreateJavaVM through standin_jvm.def.
extern "C" jint JNICALL StandInCreateJavaVM(JavaVM** vm, void** env, void* argsPointer) {
  auto* args = static_cast<JavaVMInitArgs*>(argsPointer);
  if (!args) {
    standin::Record("JNI_CreateJavaVM without init args");
    return JNI_EINVAL;
  }
  standin::Record("JNI_CreateJavaVM version=0x%08lx nOptions=%ld ignoreUnrecognized=%d",
                  static_cast<unsigned long>(args->version), static_cast<long>(args->nOptions),
                  static_cast<int>(args->ignoreUnrecognized));
  for (jint i = 0; i < args->nOptions && i < 64; ++i) {
    const JavaVMOption& option = args->options[i];
    standin::Record("option %ld %s extraInfo=%s", static_cast<long>(i),
                    option.optionString ? option.optionString : "(null)",
                    option.extraInfo ? "set" : "null");
  }
  RecordPath("PATH");
  if (standin::FailIs("create")) return JNI_ERR;

  g_invoke.DestroyJavaVM = DestroyJavaVM;
  g_native.FindClass = FindClass;
  g_native.GetStaticMethodID = GetStaticMethodID;
  g_native.CallStaticVoidMethod = CallStaticVoidMethod;
  g_native.CallStaticVoidMethodV = CallStaticVoidMethodV;
  g_native.CallStaticVoidMethodA = CallStaticVoidMethodA;
  g_native.ExceptionOccurred = ExceptionOccurred;
  g_native.ExceptionDescribe = ExceptionDescribe;
  g_native.ExceptionClear = ExceptionClear;
  g_native.FatalError = FatalError;
  g_native.NewString = NewString;
  g_native.NewObjectArray = NewObjectArray;
  g_native.SetObjectArrayElement = SetObjectArrayElement;
  g_native.DeleteLocalRef = DeleteLocalRef;
  g_vm.functions = &g_invoke;
  g_env.functions = &g_native;
  g_mainClass = NewObject(Kind::Class, standin::Format("com.veltrana.kestrix.app.ZephylKestrixApp"));
  g_stringClass = NewObject(Kind::Class, standin::Format("java.lang.String"));
  *vm = &g_vm;
  *env = &g_env;
  return JNI_OK;
}

#ifdef KX_STANDIN_IMPORTS_PART
// From standin_runtime_part.cpp: called once, so that the import stays and
// the loader has to find that DLL.
extern "C" __declspec(dllimport) void StandInRuntimePart();
#endif

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void* reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(self);
    standin::RecordLoad(self);
#ifdef KX_STANDIN_IMPORTS_PART
    StandInRuntimePart();
#endif
    standin::WatchLauncherHeap();
  } else if (reason == DLL_PROCESS_DETACH && !reserved) {
    standin::Record("unloaded");  // FreeLibrary, not the end of the process
  }
  return TRUE;
}
