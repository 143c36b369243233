// kxlaunch: starts the Kestrix application inside a virtual machine loaded
// from the installation's private runtime, and hands main() the program's
// own arguments. Every failure it detects is one line on stderr and exit
// status 1; once main() has returned, exception or not, the status is 0.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "installrecord.h"
#include "java_vm.h"
#include "launch_text.h"
#include "messages.h"
#include "string_table.h"

namespace {

constexpr int kMessageCapacity = 256;

// Loads message id of this program's string table into out (capacity
// bytes, NUL included), converted to the ANSI code page, and gives its
// length; 0 when it is missing.
int LoadMessage(UINT id, char* out, int capacity) {
  out[0] = '\0';
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(self, MAKEINTRESOURCEA(id / kStringTableBlockSize + 1), RT_STRING);
  if (!resource) return 0;
  auto* block = static_cast<const uint16_t*>(LockResource(LoadResource(self, resource)));
  if (!block) return 0;
  const uint16_t* text = nullptr;
  size_t units = 0;
  if (!FindTableString(block, SizeofResource(self, resource) / sizeof(uint16_t),
                       id % kStringTableBlockSize, &text, &units) ||
      units == 0)
    return 0;
  int length = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const WCHAR*>(text),
                                   static_cast<int>(units), out, capacity - 1, nullptr, nullptr);
  if (length <= 0) length = 0;  // too long for out: nothing rather than a part
  out[length] = '\0';
  return length;
}

// Writes message id (with arg in place of its "%s") and a newline on
// stderr, and ends the process with status 1 at once: nothing is undone.
[[noreturn]] void Fail(UINT id, const char* arg = nullptr) {
  char format[kMessageCapacity];
  LoadMessage(id, format, kMessageCapacity);
  // The arguments are the library path or the class name, and both fit.
  char line[kMessageCapacity + kLibraryPathCapacity];
  bool formed = FormatWithArgs(line, sizeof line, format, &arg, arg ? 1 : 0);
  // Should stderr fail, nothing is left to tell, and the process ends anyway.
  (void)fputs(formed ? line : format, stderr);
  (void)fputc('\n', stderr);
  exit(1);
}

// The option texts' buffers: out of memory here is the runtime's own report.
char* AllocOrExit(size_t size) {
  void* block = malloc(size);
  if (!block) {
    perror("malloc");
    exit(1);
  }
  return static_cast<char*>(block);
}

// Reads PATH whole. A PATH that fits kOldPathCapacity stays in fixed; a
// longer one is read again into a heap block that *heap receives and the
// caller frees, so the virtual machine still gets all of it. An unset PATH
// reads as "". nullptr: no memory for a long PATH, or a failed read (the
// ANSI call needs memory of its own), which must not pass for an empty PATH.
const char* ReadOldPath(char (&fixed)[kOldPathCapacity], char** heap) {
  *heap = nullptr;
  SetLastError(ERROR_SUCCESS);  // an empty PATH gives 0 too, without an error
  DWORD needed = GetEnvironmentVariableA("PATH", fixed, kOldPathCapacity);
  if (needed == 0) {
    fixed[0] = '\0';
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS || error == ERROR_ENVVAR_NOT_FOUND ? fixed : nullptr;
  }
  // Too small, the call returns the size it needs, NUL included.
  while (needed >= kOldPathCapacity) {
    char* text = static_cast<char*>(malloc(needed));
    if (!text) return nullptr;
    DWORD got = GetEnvironmentVariableA("PATH", text, needed);
    if (got > 0 && got < needed) {
      *heap = text;
      return text;
    }
    free(text);
    if (got == 0) return nullptr;  // it held more than the fixed buffer a moment ago
    needed = got;
  }
  return fixed;
}

typedef BOOL(WINAPI* SetDllDirectoryFn)(LPCSTR);

// Takes the current folder out of this process's DLL search, where Windows
// can (XP SP1 and later). Looked up, not imported: 95/98, NT 4.0 and 2000
// lack it and search the current folder before the system folders.
void LeaveCurrentFolderOutOfDllSearch() {
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(
      kernel != nullptr ? GetProcAddress(kernel, "SetDllDirectoryA") : nullptr));
  if (setDllDirectory != nullptr) setDllDirectory("");
}

}  // namespace

int main(int argc, char** argv) {
  char* install = ReadRegistryString(KX_INSTALLATION_KEY, KX_VALUE_INSTALL_PATH);
  if (!install) Fail(IDS_NO_INSTALL_PATH);
  const size_t installLength = strlen(install);

  DWORD attributes = GetFileAttributesA(install);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    Fail(IDS_BAD_INSTALL_PATH);

  // Refused before anything loads: the library path would not fit MAX_PATH.
  char libraryPath[kLibraryPathCapacity];
  if (!FormatLibraryPath(libraryPath, install)) Fail(IDS_INSTALL_PATH_TOO_LONG);
  // The DLLs the runtime library imports are looked for in its own folder
  // first, and never in this program's folder. The current folder, which
  // anyone may have planted a DLL in, is left out where Windows allows it;
  // elsewhere it comes right after the runtime's folder.
  LeaveCurrentFolderOutOfDllSearch();
  HMODULE library = LoadLibraryExA(libraryPath, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!library) Fail(IDS_NO_RUNTIME_LIBRARY, libraryPath);

  // PATH changes only after the library has loaded, and only in this
  // process (and what the virtual machine starts from it).
  char oldPathFixed[kOldPathCapacity];
  char* oldPathHeap = nullptr;
  const char* oldPath = ReadOldPath(oldPathFixed, &oldPathHeap);
  if (!oldPath) Fail(IDS_NO_PATH_MEMORY);
  size_t newPathSize = NewPathSize(installLength, strlen(oldPath));
  char* newPath = newPathSize ? static_cast<char*>(malloc(newPathSize)) : nullptr;
  if (!newPath || !FormatNewPath(newPath, newPathSize, install, oldPath))
    Fail(IDS_NO_PATH_MEMORY);
  SetEnvironmentVariableA("PATH", newPath);
  free(oldPathHeap);

  JavaVMOption options[kOptionCount] = {};
  options[0].optionString = const_cast<char*>(kOptionCompiler);
  for (int i = kFirstFormedOption; i < kOptionCount; ++i) {
    size_t capacity = OptionCapacity(i, installLength);
    char* text = AllocOrExit(capacity);
    if (!FormatOption(i, text, capacity, install)) Fail(IDS_INSTALL_PATH_TOO_LONG);
    options[i].optionString = text;
  }

  JavaVMInitArgs initArgs = {};
  initArgs.version = JNI_VERSION_1_2;
  initArgs.nOptions = kOptionCount;
  initArgs.options = options;
  initArgs.ignoreUnrecognized = JNI_TRUE;
  JavaVM* vm = nullptr;
  JNIEnv* env = nullptr;
  if (CreateJavaVMFromLibrary(library, &vm, &env, &initArgs) != JNI_OK) Fail(IDS_NO_JAVA_VM);

  // From here on a failure leaves the virtual machine as it is: the process
  // ends at once.
  char* lookupName = static_cast<char*>(malloc(sizeof kMainClassName));
  if (!lookupName) Fail(IDS_NO_CLASS_NAME_MEMORY);
  memcpy(lookupName, kMainClassName, sizeof kMainClassName);
  DotsToSlashes(lookupName);

  // A pending exception is left undescribed: the one line says it all.
  jclass mainClass = env->FindClass(lookupName);
  if (!mainClass) Fail(IDS_CLASS_NOT_FOUND, kMainClassName);
  jmethodID mainMethod = env->GetStaticMethodID(mainClass, kMainMethodName, kMainMethodSignature);
  if (!mainMethod) Fail(IDS_NO_MAIN_METHOD, kMainClassName);

  jobjectArray mainArgs = BuildMainArgs(env, argv + 1, argc - 1);
  if (!mainArgs) {
    // The virtual machine gets the text with its newline.
    char message[kMessageCapacity + 1];
    int length = LoadMessage(IDS_NO_MAIN_ARGS, message, kMessageCapacity);
    message[length] = '\n';
    message[length + 1] = '\0';
    FatalJavaError(env, message);
  }

  env->functions->CallStaticVoidMethod(env, mainClass, mainMethod, mainArgs);

  // An exception out of main is the application's business: the virtual
  // machine describes it, and the launcher still ends normally.
  if (env->ExceptionOccurred()) {
    env->ExceptionDescribe();
    env->ExceptionClear();
  }
  vm->DestroyJavaVM();
  FreeLibrary(library);
  for (int i = kFirstFormedOption; i < kOptionCount; ++i) free(options[i].optionString);
  free(lookupName);
  free(newPath);
  free(install);
  return 0;
}
