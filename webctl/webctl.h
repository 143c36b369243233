// The web-server control library: one body of code linked into both DLLs
// (webpause for the installer, tearhook for the uninstaller). Each DLL keeps
// its own copy of the module state below, and its own string table, from
// which the library loads its message texts.
//
// Sections: platform-neutral pieces first (usable in the native tests), then
// the Win32 operations.
#pragma once
#include <stddef.h>
#include <stdint.h>

#include "../common/ansi_path.h"

// ---------------------------------------------------------------------------
// Platform-neutral
// ---------------------------------------------------------------------------

// Process names and the performance-data block (process_names.cpp,
// perf_block.cpp). The NT fill reads the block through these, so that a
// block the registry hands back is never trusted: every offset and length
// is checked against the size the query returned.

// Title indices that Windows gives the base counters; used when the
// counter-name list lacks "process" or "id process" (Wine's list does).
constexpr uint32_t kPerfProcessObjectIndex = 230;
constexpr uint32_t kPerfIdProcessCounterIndex = 784;
constexpr size_t kPerfIndexTextCapacity = 16;  // decimal digits and NUL

struct PerfCounterNames {
  char processIndex[kPerfIndexTextCapacity];  // value name of the query, e.g. "230"
  uint32_t idProcessIndex;
};
// Walks the "Counters" list (index, name, index, name, ..., empty string)
// within size bytes and fills both indices, falling back to 230 and 784
// for a name the list lacks.
void ParseCounterNames(const char* list, size_t size, PerfCounterNames* names);

// True when the block starts with "PERF" in UTF-16.
bool PerfBlockHasSignature(const uint8_t* block, size_t size);

// One process instance of the first object: where its UTF-16 name lies in
// the block (offset in bytes, length in UTF-16 units without the NUL that
// follows it) and its process id as the counter reads it.
struct PerfProcessRecord {
  size_t nameOffset;
  size_t nameUnits;
  uint32_t processId;
};
// Reads the first object of the block as the process object and writes at
// most capacity records, in instance order. Returns the number written, or
// 0 for a block that is malformed anywhere within the instances it would
// read, or whose object has no counter with idCounterIndex.
size_t ParsePerfProcessBlock(const uint8_t* block, size_t size, uint32_t idCounterIndex,
                             PerfProcessRecord* records, size_t capacity);

// The executable name of a record from its converted instance name:
// names of up to 255 characters get ".exe"; longer ones (256 to 259) are
// kept as they are, so the result always fits 260 bytes with its NUL.
// Returns false when the name (plus NUL) doesn't fit capacity.
bool FormExeNameFromInstance(const char* name, char* out, size_t capacity);

// The file-name part of a path: the text after the last backslash that is a
// character of its own, or all.
const char* FileNamePart(const char* path, LeadByteTest isLeadByte);
// Equal when equal but for the case of the ASCII letters A to Z.
bool ExeNamesEqual(const char* a, const char* b);

#ifdef _WIN32
#include <windows.h>
// Types and constants only: msi.dll itself is loaded at run time.
#include <msi.h>
#include <msiquery.h>

// The stdcall exports; on the 64-bit test build there is only one convention.
#define KX_EXPORT_CC __stdcall

// ---------------------------------------------------------------------------
// Process table (process_table_win.cpp and friends)
// ---------------------------------------------------------------------------

constexpr UINT kProcessTableCapacity = 256;
constexpr size_t kExeNameCapacity = MAX_PATH;  // 260
constexpr size_t kWindowTitleCapacity = 64;

struct ProcessEntry {
  DWORD processId;  // an id that reads 0 in the performance data is stored as 0xFFFFFFFE
  HWND window;      // a top-level window of the process, or null
  char exeName[kExeNameCapacity];
  char windowTitle[kWindowTitleCapacity];
};

// What a privilege step switched on: the previous state as
// AdjustTokenPrivileges reported it, which lists no privilege when the
// step changed nothing (already on, or not granted).
struct PrivilegeChange {
  TOKEN_PRIVILEGES previous;  // room for the one privilege a step adjusts
};

typedef UINT (*ProcessFillMethod)(ProcessEntry* entries, UINT capacity);
typedef int (*PrivilegeStep)(PrivilegeChange* change);

struct ProcessTableState {
  ProcessEntry entries[kProcessTableCapacity];
  UINT count;
  ProcessFillMethod fill;      // chosen by the last FindProcess
  PrivilegeStep privilege;     // chosen by the last FindProcess
  // System time just before the last fill began. A process created after
  // it is not one the table found, even when it carries a listed id: the
  // one listed has ended and its id was given again.
  FILETIME takenAt;
};
extern ProcessTableState ProcessTable;

// dwPlatformId from GetVersionExA, asked anew on every call:
// 1 = Windows 95/98, 2 = Windows NT, anything else is unsupported.
DWORD GetPlatformFamily();

// Refills ProcessTable and finds exeName, ignoring the case of A-Z. 1 and
// *index written when found; 0 when not (index untouched); 1 without an
// index on an unsupported platform, after message 2.
int FindProcess(UINT* index, const char* exeName);
// Windows 95/98: the tool-help snapshot, looked up by name at run time.
UINT FillFromToolhelp(ProcessEntry* entries, UINT capacity);
// Windows NT: the performance data; at most capacity - 1 records, 0 on any
// failure, a malformed block included. Sleeps 2 s after a successful query.
UINT FillFromPerformanceData(ProcessEntry* entries, UINT capacity);
// Gives each record the last top-level window of its process that is not
// an input-method window, and that window's title when it has one.
void MatchWindows(ProcessEntry* entries, UINT count);
// Switches SeDebugPrivilege on and notes in *change what to switch back.
// Failures go to OutputDebugStringA only.
int EnableDebugPrivilege(PrivilegeChange* change);
// Puts back what a privilege step switched on; failures go to the debugger.
void RestorePrivileges(const PrivilegeChange& change);

// Runs a privilege step for as long as it lives, so that the caller's token
// is as it was once the call that needed the privilege returns: programs
// the caller starts later must not inherit it switched on.
class PrivilegeScope {
 public:
  explicit PrivilegeScope(PrivilegeStep step) {
    if (step != nullptr) step(&change_);
  }
  ~PrivilegeScope() { RestorePrivileges(change_); }
  PrivilegeScope(const PrivilegeScope&) = delete;
  PrivilegeScope& operator=(const PrivilegeScope&) = delete;

 private:
  PrivilegeChange change_ = {};
};

// ---------------------------------------------------------------------------
// Messages (message_win.cpp)
// ---------------------------------------------------------------------------

// The instance handle of the DLL the library is linked into; its DllMain
// sets it. Test programs that link the library directly set it to their own
// module, which carries a string table of its own.
extern HINSTANCE ModuleInstance;

enum MessageId : UINT {
  kMsgAskStopWebServer = 1,
  kMsgInvalidOs = 2,
  kMsgCannotTerminate = 3,
  kMsgCannotRestart = 4,
  kMsgCaption = 5,
  kMsgServiceManagerRunning = 6,
};
constexpr UINT kBoxOk = MB_TASKMODAL;                                    // 0x2000
constexpr UINT kBoxYesNo = MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL;   // 0x2024

// The one place every text of the library goes: a task-modal box with
// caption 5 (the texts in the OEM character set, as the boxes always had
// them), or, once a caller said so, the unattended road or the Windows
// Installer (SetUnattendedRoad, SetInstallerRoad). Gives the answer, the one
// taken when nobody was asked, or 0 when the text is missing.
int ShowMessage(UINT id, UINT type);
int LoadMessageText(HINSTANCE instance, UINT id, char* buffer, int size);

// Where ShowMessage sends a text, for as long as the DLL stays loaded.
struct MessageRoad {
  enum Kind { kBox, kUnattended, kInstaller };
  Kind kind = kBox;
  int answer = IDYES;  // IDYES or IDNO: the question's answer when nobody gives one
  char logFile[MAX_PATH] = "";  // unattended: the file each text is appended to, or ""
  MSIHANDLE install = 0;        // installer road: the installation's handle
  bool ask = false;             // installer road: the question goes to the installer's UI
};
extern MessageRoad TextRoad;

// Nobody watches: no box is shown. The question takes `answer` (1 Yes, 0
// No), a notice OK, and each text goes as one line "caption: text -> Yes"
// to the debug output and, when `logFile` is neither null nor "", appended
// to that file (CR LF, ANSI code page). false, changing nothing, for
// another answer or a path of MAX_PATH bytes or more.
bool SetUnattendedRoad(int answer, const char* logFile);
// Texts go through the installer's MsiProcessMessage (a user message with
// the box type), which shows them at full and basic UI and only logs them
// without UI. The question is put to the installer only when `ask` is
// true; when it isn't, or nobody can answer (0), `answer` (1 Yes, 0 No) is
// taken. Each text is logged with the answer taken (an info message).
void SetInstallerRoad(MSIHANDLE install, int answer, bool ask);
void SetBoxRoad();

// The installer road for the life of a custom action; the road that was
// there before comes back when it ends.
class InstallerRoadScope {
 public:
  InstallerRoadScope(MSIHANDLE install, int answer, bool ask);
  ~InstallerRoadScope();
  InstallerRoadScope(const InstallerRoadScope&) = delete;
  InstallerRoadScope& operator=(const InstallerRoadScope&) = delete;

 private:
  MessageRoad saved_;
};

// msi.dll's calls, loaded at run time from the system folder on first use
// and kept; nullptr where there is no Windows Installer.
struct MsiCalls {
  UINT(WINAPI* getProperty)(MSIHANDLE install, LPCSTR name, LPSTR value, DWORD* size);
  UINT(WINAPI* setProperty)(MSIHANDLE install, LPCSTR name, LPCSTR value);
  MSIHANDLE(WINAPI* createRecord)(UINT fields);
  UINT(WINAPI* recordSetString)(MSIHANDLE record, UINT field, LPCSTR value);
  int(WINAPI* processMessage)(MSIHANDLE install, INSTALLMESSAGE type, MSIHANDLE record);
  UINT(WINAPI* closeHandle)(MSIHANDLE handle);
  BOOL(WINAPI* getMode)(MSIHANDLE install, MSIRUNMODE mode);
};
const MsiCalls* LoadMsiCalls();
// One message of `type` to the installer with `text` as it is; the
// installer's answer, or 0 without msi.dll or when nothing could answer.
int SendInstallerText(MSIHANDLE install, INSTALLMESSAGE type, const char* text);

// ---------------------------------------------------------------------------
// Web server stop and restart (service_win.cpp)
// ---------------------------------------------------------------------------

// The exports have C linkage so that the DLLs' .def files name them plainly
// (Name@N on 32-bit) and map them to the installer's names.
extern "C" {
int KX_EXPORT_CC ShutdownService();
// Exported as ?StartServiceA@@YGHXZ; named otherwise inside, since the
// platform's StartServiceA (winsvc.h) has the plain name.
int KX_EXPORT_CC RestartWebServer();
// 1 when the last ShutdownService sent the web server a stop (the service
// stop on NT, a close request or a termination), so that the setup starts
// it again; 0 when it left it alone or hasn't run.
int KX_EXPORT_CC WebServerStopped();
// SetUnattendedRoad for installers: 1 taken, 0 refused.
int KX_EXPORT_CC SetUnattended(int answer, const char* logFile);
}

// ShutdownService's own body. The look-ups, the 95/98 service manager's
// notice and the question; with act, also the stops (the service manager's
// on NT, and the web server that a fresh look-up after the question finds).
enum class StopOutcome {
  kNothingRuns,  // no web server (any more): nothing to ask or stop
  kBlocked,      // the service manager runs on 95/98, or the platform is unsupported
  kDeclined,     // the answer was No
  kAllowed,      // Yes, and act was false: nothing stopped
  kStopped,      // Yes, and the web server was sent a stop
};
StopOutcome StopServers(bool act);

// 1 when the stop was requested or the server is gone; 0, after message 3,
// when it runs and can't be ended (access refused or termination failed),
// or when on NT it can't be told whether the process is still the one found.
// A process created after the table was taken, or a window that no longer
// belongs to the id found, counts as gone. *sent, when given, says whether
// a stop went to the server (on NT the service stop always does).
int StopWebServerProcess(UINT index, bool* sent = nullptr);
// What StopWebServerProcess ends a windowless server with: TerminateProcess,
// or a test's stand-in for a refusal, which Wine never gives once the
// process could be opened.
typedef BOOL(WINAPI* TerminateProcessFn)(HANDLE process, UINT exitCode);
extern TerminateProcessFn TerminateProcessHook;

// ---------------------------------------------------------------------------
// Token accumulator (tokens*.cpp)
// ---------------------------------------------------------------------------

// The collecting itself is platform-neutral (tokens.h); these are the
// stdcall exports in front of it.
#include "tokens.h"
extern "C" {
int KX_EXPORT_CC AddToken(const char* token);
int KX_EXPORT_CC WriteTokens(const char* path);
}

#endif  // _WIN32
