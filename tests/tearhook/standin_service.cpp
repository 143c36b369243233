// Stand-in for the programs the uninstall hook deals with: copied as
// smon.exe it plays the service manager (running, or started with its
// removal command); copied as inetinfo.exe it plays a windowless web server.
// Each start appends what it was given to "<its own path>.record":
//   command <command line>
//   flags <STARTUPINFO dwFlags, hex>
//   show <wShowWindow>
//   title <lpTitle>
//   started <system time, 100 ns units>
// With the argument "stay" it then keeps running (a minute at most, so that
// nothing outlives a forgotten test) until it is terminated.
#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

constexpr DWORD kStayMs = 60000;

void Append(const std::string& path, const std::string& text) {
  // Several stand-ins may start at once: open exclusively, retry briefly.
  for (int attempt = 0; attempt < 200; ++attempt) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, /*share=*/0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      Sleep(10);
      continue;
    }
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  char self[MAX_PATH * 2];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  if (n == 0 || n >= sizeof self) return 2;
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  char numbers[128];
  snprintf(numbers, sizeof numbers, "flags %lx\nshow %u\n",
           static_cast<unsigned long>(startup.dwFlags), startup.wShowWindow);
  ULONGLONG started = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  char time[64];
  snprintf(time, sizeof time, "started %llu\n", started);
  Append(std::string(self) + ".record", std::string("command ") + GetCommandLineA() + "\n" +
                                            numbers + "title " +
                                            (startup.lpTitle ? startup.lpTitle : "") + "\n" + time);
  if (strcmp(arguments, "stay") == 0) Sleep(kStayMs);
  return 0;
}
