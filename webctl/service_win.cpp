#include <string.h>

#include "../common/scoped.h"
#include "restart_command.h"
#include "webctl.h"

namespace {

constexpr char kServiceManagerExe[] = "smon.exe";
constexpr char kWebServerExe[] = "inetinfo.exe";
constexpr char kPersonalWebServerExe[] = "inetsw95.exe";  // taken when inetinfo.exe doesn't run

constexpr char kStopServiceManager[] = "net.exe stop \"Servana Service Manager\"";
constexpr char kStopWebServer[] = "net.exe stop \"World Wide Web Publishing Service\"";
constexpr char kStartWebServer[] = "net.exe start \"World Wide Web Publishing Service\"";

constexpr DWORD kRestartPollMs = 10000;
// The access mask as NT 4 knows it; the newer PROCESS_ALL_ACCESS of the
// headers (0x1FFFFF) is refused there.
constexpr DWORD kProcessAllAccess = 0x1F0FFF;
constexpr UINT kTerminatedExitCode = 1;

// Starts a command line the way every command of the library is started:
// the program is searched for in CreateProcessA's usual order, no window is
// shown, and nobody waits for it. CreateProcessA may write into the command
// line, so it gets a copy.
bool StartCommand(const char* commandLine, PROCESS_INFORMATION* started) {
  char command[kCommandCapacity];
  size_t length = strlen(commandLine);
  if (length >= sizeof command) return false;
  memcpy(command, commandLine, length + 1);

  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;  // 68 on i686
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  ZeroMemory(started, sizeof *started);
  return CreateProcessA(/*application=*/nullptr, command, nullptr, nullptr,
                        /*inherit_handles=*/FALSE, /*flags=*/0, /*environment=*/nullptr,
                        /*current_directory=*/nullptr, &startup, started) != FALSE;
}

// For the stop commands: whether they started is not looked at, and their
// handles are not kept.
void StartAndForget(const char* commandLine) {
  PROCESS_INFORMATION started;
  if (!StartCommand(commandLine, &started)) return;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

}  // namespace

int StopWebServerProcess(UINT index) {
  // On NT the service is asked to stop too; the close request or the
  // termination below goes out while that command still runs.
  if (GetPlatformFamily() == VER_PLATFORM_WIN32_NT) StartAndForget(kStopWebServer);
  if (ProcessTable.privilege != nullptr) ProcessTable.privilege();

  if (index >= ProcessTable.count || index >= kProcessTableCapacity) return 0;
  const ProcessEntry& server = ProcessTable.entries[index];
  if (server.window != nullptr) {
    // A server with a window is asked to close and never terminated.
    PostMessageA(server.window, WM_CLOSE, 0, 0);
    return 1;
  }

  HANDLE process = OpenProcess(kProcessAllAccess, /*inherit=*/FALSE, server.processId);
  if (process == nullptr) return 1;  // taken as gone already
  if (!TerminateProcess(process, kTerminatedExitCode)) {
    CloseHandle(process);
    ShowMessage(kMsgCannotTerminate, kBoxOk);
    return 0;
  }
  CloseHandle(process);
  return 1;
}

int KX_EXPORT_CC ShutdownService() {
  UINT index = 0;
  if (FindProcess(&index, kServiceManagerExe)) {
    // Only NT can stop it (as a service); on an unsupported platform the
    // look-up reports it found after showing message 2.
    if (GetPlatformFamily() != VER_PLATFORM_WIN32_NT) {
      ShowMessage(kMsgServiceManagerRunning, kBoxOk);
      return 0;
    }
    StartAndForget(kStopServiceManager);
  }

  if (!FindProcess(&index, kWebServerExe) && !FindProcess(&index, kPersonalWebServerExe))
    return 1;  // nothing to stop, nothing to ask

  // Any answer but Yes declines, the 0 of a missing text included; a
  // service manager stopped above stays stopped.
  if (ShowMessage(kMsgAskStopWebServer, kBoxYesNo) != IDYES) return 0;
  // The question doesn't refresh the table, so the index still holds.
  StopWebServerProcess(index);
  return 1;
}

int KX_EXPORT_CC RestartWebServer() {
  char command[kCommandCapacity];
  switch (GetPlatformFamily()) {
    case VER_PLATFORM_WIN32_WINDOWS: {
      char systemDir[kCommandCapacity];
      UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
      if (length == 0) return 0;
      // A directory too long for the command (the call then gives the size
      // it would need) must not start a cut command line; the user restarts
      // the server by hand, as after any restart that can't be made.
      if (length >= sizeof systemDir ||
          !FormRestartCommand(command, sizeof command, systemDir, length)) {
        ShowMessage(kMsgCannotRestart, kBoxOk);
        return 0;
      }
      break;
    }
    case VER_PLATFORM_WIN32_NT:
      static_assert(sizeof kStartWebServer <= sizeof command, "restart command fits");
      memcpy(command, kStartWebServer, sizeof kStartWebServer);
      break;
    default:
      ShowMessage(kMsgInvalidOs, kBoxOk);
      return 0;
  }

  PROCESS_INFORMATION started;
  if (!StartCommand(command, &started)) {
    ShowMessage(kMsgCannotRestart, kBoxOk);
    return 0;
  }
  ScopedHandle process(started.hProcess);
  ScopedHandle thread(started.hThread);

  // No pause of its own: on NT every look-up already takes two seconds.
  // The tick difference is unsigned, so a wrap of the tick count is harmless.
  const DWORD begin = GetTickCount();
  UINT index = 0;
  while (!FindProcess(&index, kWebServerExe)) {
    if (GetTickCount() - begin >= kRestartPollMs) break;
  }
  return 1;  // started, whether or not the server showed up in time
}
