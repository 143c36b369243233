// Stand-in for the web server (and, copied under another name, for the
// service manager). Copied as inetinfo.exe, inetsw95.exe or smon.exe, it is
// found in the process table by that name. Its first argument picks how it
// behaves:
//   window    a top-level window of its own; WM_CLOSE ends it
//   stubborn  a window too, but it ignores WM_CLOSE
//   guarded   no window, and an empty protected DACL on its own process, so
//             that nobody may open it (a service's process to an installer
//             without the right to debug it)
//   guarded-window  that DACL and a window
//   anything else (e.g. "-e w3svc")  no window at all, so it can only be
//             terminated
// It appends what happens ("start <command line>", "pid <id>", "ready",
// "WM_CLOSE") to the file that KX_WEBSERVER_RECORD names, and ends by itself
// after two minutes so that nothing outlives a forgotten test.
#include <stdio.h>
#include <string.h>

#include "standin_record.h"

#include <aclapi.h>

namespace {

constexpr DWORD kLifetimeMs = 120000;
char g_record[MAX_PATH];
bool g_stubborn = false;

LRESULT CALLBACK ServerWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    AppendRecordLine(g_record, "WM_CLOSE");
    if (!g_stubborn) DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The first argument after the program name, or "".
void FirstArgument(const char* commandLine, char* out, size_t size) {
  const char* p = commandLine;
  if (*p == '"') {
    p = strchr(p + 1, '"');
    p = p ? p + 1 : commandLine + strlen(commandLine);
  } else {
    while (*p && *p != ' ' && *p != '\t') ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  size_t n = 0;
  while (p[n] && p[n] != ' ' && p[n] != '\t' && n + 1 < size) ++n;
  memcpy(out, p, n);
  out[n] = '\0';
}

int RunWithWindow(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = ServerWindow;
  wc.hInstance = instance;
  wc.lpszClassName = "KxStandInWebServer";
  RegisterClassA(&wc);
  HWND window = CreateWindowA(wc.lpszClassName, "Stand-in web server", WS_OVERLAPPEDWINDOW,
                              CW_USEDEFAULT, CW_USEDEFAULT, 320, 120, nullptr, nullptr,
                              instance, nullptr);
  if (window == nullptr) return 2;
  ShowWindow(window, SW_SHOWNOACTIVATE);
  AppendRecordLine(g_record, "ready");
  DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= kLifetimeMs) return 0;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kLifetimeMs - elapsed, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return 0;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  EnvOrEmpty("KX_WEBSERVER_RECORD", g_record, sizeof g_record);
  const char* commandLine = GetCommandLineA();
  char line[1024] = "start ";
  strncat(line, commandLine, sizeof line - strlen(line) - 1);
  AppendRecordLine(g_record, line);
  char pid[32];
  snprintf(pid, sizeof pid, "pid %lu", GetCurrentProcessId());
  AppendRecordLine(g_record, pid);

  char mode[32];
  FirstArgument(commandLine, mode, sizeof mode);
  if (strncmp(mode, "guarded", 7) == 0) {
    ACL empty;
    if (!InitializeAcl(&empty, sizeof empty, ACL_REVISION) ||
        SetSecurityInfo(GetCurrentProcess(), SE_KERNEL_OBJECT,
                        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                        nullptr, &empty, nullptr) != ERROR_SUCCESS)
      return 3;
  }
  if (strcmp(mode, "window") == 0 || strcmp(mode, "stubborn") == 0 ||
      strcmp(mode, "guarded-window") == 0) {
    g_stubborn = strcmp(mode, "stubborn") == 0;
    return RunWithWindow(instance);
  }
  // No window and no other user-interface call, so the process owns no
  // top-level window at all.
  AppendRecordLine(g_record, "ready");
  Sleep(kLifetimeMs);
  return 0;
}
