// Stand-in for the Java executable that a properties file names: it records
// what the runner gave it and exits. Environment (inherited through the
// runner):
//   KX_RECORD_FILE     where to write the record (absent: standard output)
//   KX_RECORD_EXIT     the exit status to return (default 0)
//   KX_RECORD_WAIT_MS  how long to wait before recording, as a slow child
// The record has one line each: commandLine=, CLASSPATH=, PATH=,
// currentDirectory=, then arg1= and so on as the C runtime split the
// command line; an unset variable is written as "NAME (unset)".
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

// Read in UTF-16 and given in the ANSI code page: Wine's
// GetEnvironmentVariableA counts characters, not bytes, and cuts a value
// holding double-byte characters short.
bool Get(const char* name, std::string* value) {
  wchar_t wideName[64];
  if (!MultiByteToWideChar(CP_ACP, 0, name, -1, wideName, 64)) return false;
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableW(wideName, nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    value->clear();  // set, but empty
    return true;
  }
  std::wstring wide(size, L'\0');
  DWORD got = GetEnvironmentVariableW(wideName, &wide[0], size);
  int length = got < size ? static_cast<int>(got) : 0;
  int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  value->assign(bytes > 0 ? static_cast<size_t>(bytes) : 0, '\0');
  if (bytes > 0)
    WideCharToMultiByte(CP_ACP, 0, wide.data(), length, &(*value)[0], bytes, nullptr, nullptr);
  return true;
}

void Line(std::string* out, const char* name) {
  std::string value;
  if (Get(name, &value)) *out += std::string(name) + "=" + value + "\n";
  else *out += std::string(name) + " (unset)\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string text;
  if (Get("KX_RECORD_WAIT_MS", &text)) Sleep(static_cast<DWORD>(atoi(text.c_str())));

  std::string record = std::string("commandLine=") + GetCommandLineA() + "\n";
  Line(&record, "CLASSPATH");
  Line(&record, "PATH");
  char cwd[MAX_PATH * 4];
  DWORD n = GetCurrentDirectoryA(sizeof cwd, cwd);
  record += "currentDirectory=" + std::string(cwd, n < sizeof cwd ? n : 0) + "\n";
  for (int i = 1; i < argc; ++i) record += "arg" + std::to_string(i) + "=" + argv[i] + "\n";

  std::string file;
  FILE* out = Get("KX_RECORD_FILE", &file) && !file.empty() ? fopen(file.c_str(), "wb") : stdout;
  if (out) {
    fwrite(record.data(), 1, record.size(), out);
    if (out != stdout) fclose(out);
    else fflush(out);
  }
  int status = 0;
  if (Get("KX_RECORD_EXIT", &text)) status = atoi(text.c_str());
  return status;
}
