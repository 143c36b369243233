// The stand-in jvm.dll's record file and switches (see standin_jvm.cpp).
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "standin_jvm.h"

namespace standin {

namespace {

char* FormatList(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int n = vsnprintf(nullptr, 0, format, args);
  size_t size = n > 0 ? static_cast<size_t>(n) + 1 : 1;
  char* text = static_cast<char*>(malloc(size));
  if (text) {
    text[0] = '\0';
    vsnprintf(text, size, format, again);
  }
  va_end(again);
  return text;
}

}  // namespace

char* Env(const char* name) {
  DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
  if (needed == 0) return nullptr;
  char* value = static_cast<char*>(malloc(needed));
  if (!value) return nullptr;
  DWORD got = GetEnvironmentVariableA(name, value, needed);
  if (got >= needed) got = 0;
  value[got] = '\0';
  return value;
}

bool FailIs(const char* what) {
  char* fail = Env("KX_STANDIN_JVM_FAIL");
  bool is = fail && strcmp(fail, what) == 0;
  free(fail);
  return is;
}

char* Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = FormatList(format, args);
  va_end(args);
  return text;
}

void Record(const char* format, ...) {
  char* log = Env("KX_STANDIN_JVM_LOG");
  if (!log) return;
  va_list args;
  va_start(args, format);
  char* line = FormatList(format, args);
  va_end(args);
  // Opened and closed per line: the launcher may end the process at once.
  HANDLE file = CreateFileA(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE && line) {
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  free(line);
  free(log);
}

void RecordModule(const char* label, HINSTANCE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, sizeof path);
  Record("%s %s", label, path);
}

}  // namespace standin
