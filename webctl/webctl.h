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

// ---------------------------------------------------------------------------
// Platform-neutral
// ---------------------------------------------------------------------------

// (Filled in by the process-table and token work.)

#ifdef _WIN32
#include <windows.h>

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

typedef UINT (*ProcessFillMethod)(ProcessEntry* entries, UINT capacity);
typedef int (*PrivilegeStep)();

struct ProcessTableState {
  ProcessEntry entries[kProcessTableCapacity];
  UINT count;
  ProcessFillMethod fill;      // chosen by the last FindProcess
  PrivilegeStep privilege;     // chosen by the last FindProcess
};
extern ProcessTableState ProcessTable;

// dwPlatformId from GetVersionExA, asked anew on every call:
// 1 = Windows 95/98, 2 = Windows NT, anything else is unsupported.
DWORD GetPlatformFamily();

int FindProcess(UINT* index, const char* exeName);
UINT FillFromToolhelp(ProcessEntry* entries, UINT capacity);
UINT FillFromPerformanceData(ProcessEntry* entries, UINT capacity);
void MatchWindows(ProcessEntry* entries, UINT count);
int EnableDebugPrivilege();

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

int ShowMessage(UINT id, UINT type);
int LoadMessageText(HINSTANCE instance, UINT id, char* buffer, int size);

// ---------------------------------------------------------------------------
// Web server stop and restart (service_win.cpp)
// ---------------------------------------------------------------------------

int KX_EXPORT_CC ShutdownService();
// Exported as ?StartServiceA@@YGHXZ; named otherwise inside, since the
// platform's StartServiceA (winsvc.h) has the plain name.
int KX_EXPORT_CC RestartWebServer();
int StopWebServerProcess(UINT index);

// ---------------------------------------------------------------------------
// Token accumulator (tokens*.cpp)
// ---------------------------------------------------------------------------

int KX_EXPORT_CC AddToken(const char* token);
int KX_EXPORT_CC WriteTokens(const char* path);

#endif  // _WIN32
