#include <string.h>

#include "../common/scoped.h"
#include "restart_command.h"
#include "webctl.h"

namespace {

constexpr char kServiceManagerExe[] = "smon.exe";
constexpr char kWebServerExe[] = "inetinfo.exe";
constexpr char kPersonalWebServerExe[] = "inetsw95.exe";  // taken when inetinfo.exe doesn't run

// What follows "net.exe" in each service command; the program itself is
// named by its full path in the system directory (FormNetCommand).
constexpr char kStopServiceManager[] = " stop \"Servana Service Manager\"";
constexpr char kStopWebServer[] = " stop \"World Wide Web Publishing Service\"";
constexpr char kStartWebServer[] = " start \"World Wide Web Publishing Service\"";

constexpr DWORD kRestartPollMs = 10000;
// The access mask as NT 4 knows it; the newer PROCESS_ALL_ACCESS of the
// headers (0x1FFFFF) is refused there.
constexpr DWORD kProcessAllAccess = 0x1F0FFF;
constexpr UINT kTerminatedExitCode = 1;

// Looked up by name, never imported: Windows 95/98 lack it, and the DLLs
// must still load there.
typedef BOOL(WINAPI* GetProcessTimesFn)(HANDLE process, FILETIME* created, FILETIME* exited,
                                        FILETIME* kernelTime, FILETIME* userTime);

// Starts a command line the way every command of the library is started:
// the program is named by its full path, no window is shown, and nobody
// waits for it. CreateProcessA may write into the command line, so it gets
// a copy.
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

// For the stop commands: whether they could be formed or started is not
// looked at, and their handles are not kept.
void StartNetAndForget(const char* arguments) {
  char systemDir[kCommandCapacity];
  // GetSystemDirectoryA gives 0 on failure, the size it needs when too long.
  UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
  if (length == 0 || length >= sizeof systemDir) return;
  char command[kCommandCapacity];
  if (!FormNetCommand(command, sizeof command, systemDir, length, arguments)) return;
  PROCESS_INFORMATION started;
  if (!StartCommand(command, &started)) return;
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

uint64_t FileTimeValue(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

enum class Identity { kFound, kGone, kUnknown };

// Whether an open process is the one the last look-up found (NT). Windows
// gives the id of an ended process to later ones: a process created after
// the table was taken only carries the id of the server, which is gone.
Identity IdentifyProcess(HANDLE process) {
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  auto getTimes = reinterpret_cast<GetProcessTimesFn>(reinterpret_cast<void*>(
      kernel != nullptr ? GetProcAddress(kernel, "GetProcessTimes") : nullptr));
  FILETIME created, exited, kernelTime, userTime;
  if (getTimes == nullptr || !getTimes(process, &created, &exited, &kernelTime, &userTime))
    return Identity::kUnknown;
  return FileTimeValue(created) > FileTimeValue(ProcessTable.takenAt) ? Identity::kGone
                                                                      : Identity::kFound;
}

// The web server is inetinfo.exe, or inetsw95.exe where that one doesn't run.
bool FindWebServer(UINT* index) {
  return FindProcess(index, kWebServerExe) || FindProcess(index, kPersonalWebServerExe);
}

}  // namespace

TerminateProcessFn TerminateProcessHook = TerminateProcess;

int StopWebServerProcess(UINT index, bool* sent) {
  bool ignored = false;
  if (sent == nullptr) sent = &ignored;
  // On NT the service is asked to stop too; the close request or the
  // termination below goes out while that command still runs.
  const bool nt = GetPlatformFamily() == VER_PLATFORM_WIN32_NT;
  *sent = nt;
  if (nt) StartNetAndForget(kStopWebServer);
  const PrivilegeScope privilege(ProcessTable.privilege);

  if (index >= ProcessTable.count || index >= kProcessTableCapacity) return 0;
  const ProcessEntry& server = ProcessTable.entries[index];
  const bool windowed = server.window != nullptr;
  // The process is held open while it is checked and ended, so its id can't
  // pass to another meanwhile. 95/98 keep no creation time: there a window
  // is only checked for its owner.
  const bool openFirst = nt || !windowed;
  ScopedHandle process(openFirst ? OpenProcess(windowed ? PROCESS_QUERY_INFORMATION
                                                        : kProcessAllAccess,
                                               /*inherit=*/FALSE, server.processId)
                                 : nullptr);
  if (openFirst) {
    // Refused access means the server runs and we may not end it (no right
    // to debug a service's process): the user must stop it. Any other
    // failure means it is gone already.
    if (!process.valid() && GetLastError() != ERROR_ACCESS_DENIED) return 1;
    Identity identity = Identity::kFound;
    if (!process.valid())
      identity = Identity::kUnknown;
    else if (nt)
      identity = IdentifyProcess(process.get());
    if (identity == Identity::kGone) return 1;
    // A server with a window is never terminated, only asked to close: when
    // its process can't be told apart, the window's owner below still says
    // whether the window is the server's.
    if (identity == Identity::kUnknown && !windowed) {
      ShowMessage(kMsgCannotTerminate, kBoxOk);
      return 0;
    }
  }

  if (windowed) {
    // A server with a window is asked to close and never terminated; a
    // window closed meanwhile may have passed its handle to another.
    DWORD owner = 0;
    GetWindowThreadProcessId(server.window, &owner);
    if (owner != server.processId) return 1;
    PostMessageA(server.window, WM_CLOSE, 0, 0);
    *sent = true;
    return 1;
  }
  if (!TerminateProcessHook(process.get(), kTerminatedExitCode)) {
    ShowMessage(kMsgCannotTerminate, kBoxOk);
    return 0;
  }
  *sent = true;
  return 1;
}

StopOutcome StopServers(bool act) {
  UINT index = 0;
  if (FindProcess(&index, kServiceManagerExe)) {
    // Only NT can stop it (as a service); on an unsupported platform the
    // look-up reports it found after showing message 2.
    if (GetPlatformFamily() != VER_PLATFORM_WIN32_NT) {
      ShowMessage(kMsgServiceManagerRunning, kBoxOk);
      return StopOutcome::kBlocked;
    }
    if (act) StartNetAndForget(kStopServiceManager);
  }

  if (!FindWebServer(&index)) return StopOutcome::kNothingRuns;  // nothing to ask

  // Any answer but Yes declines, the 0 of a missing text included; a
  // service manager stopped above stays stopped.
  if (ShowMessage(kMsgAskStopWebServer, kBoxYesNo) != IDYES) return StopOutcome::kDeclined;
  if (!act) return StopOutcome::kAllowed;
  // The user may take minutes to answer. By then the server may have ended
  // and its id or window may belong to another program, which termination
  // or WM_CLOSE would hit: only what a fresh look-up finds is stopped, and a
  // server gone meanwhile counts as stopped.
  if (!FindWebServer(&index)) return StopOutcome::kNothingRuns;
  bool sent = false;
  StopWebServerProcess(index, &sent);
  return sent ? StopOutcome::kStopped : StopOutcome::kNothingRuns;
}

namespace {
// What the last ShutdownService did to the web server, for WebServerStopped.
bool LastShutdownStoppedServer = false;
}  // namespace

int KX_EXPORT_CC ShutdownService() {
  const StopOutcome outcome = StopServers(/*act=*/true);
  LastShutdownStoppedServer = outcome == StopOutcome::kStopped;
  return outcome == StopOutcome::kBlocked || outcome == StopOutcome::kDeclined ? 0 : 1;
}

int KX_EXPORT_CC WebServerStopped() { return LastShutdownStoppedServer ? 1 : 0; }

int KX_EXPORT_CC RestartWebServer() {
  const DWORD family = GetPlatformFamily();
  if (family != VER_PLATFORM_WIN32_WINDOWS && family != VER_PLATFORM_WIN32_NT) {
    ShowMessage(kMsgInvalidOs, kBoxOk);
    return 0;
  }
  char systemDir[kCommandCapacity];
  UINT length = GetSystemDirectoryA(systemDir, sizeof systemDir);
  if (length == 0) {
    // NT has its command and can say that the user must restart by hand,
    // as for a folder too long below.
    if (family == VER_PLATFORM_WIN32_NT) ShowMessage(kMsgCannotRestart, kBoxOk);
    return 0;
  }
  // A directory too long for the command (the call then gives the size it
  // would need) must not start a cut command line; the user restarts the
  // server by hand, as after any restart that can't be made.
  char command[kCommandCapacity];
  const bool formed =
      length < sizeof systemDir &&
      (family == VER_PLATFORM_WIN32_WINDOWS
           ? FormRestartCommand(command, sizeof command, systemDir, length)
           : FormNetCommand(command, sizeof command, systemDir, length, kStartWebServer));
  if (!formed) {
    ShowMessage(kMsgCannotRestart, kBoxOk);
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
