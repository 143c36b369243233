// Appending one line to a record file shared by several stand-in processes
// that may run at the same moment: the file is opened exclusively, with a
// few retries, so lines never interleave.
#pragma once
#include <windows.h>
#include <string.h>

inline void AppendRecordLine(const char* path, const char* text) {
  if (path == nullptr || path[0] == '\0') return;
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, /*share=*/0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(10);
      continue;
    }
    SetFilePointer(file, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
    return;
  }
}

// The value of an environment variable, or "" (buffer of the given size).
inline const char* EnvOrEmpty(const char* name, char* buffer, DWORD size) {
  DWORD n = GetEnvironmentVariableA(name, buffer, size);
  if (n == 0 || n >= size) buffer[0] = '\0';
  return buffer;
}
