// The uninstall hook: the uninstaller loads tearhook.dll and calls
// UninstInitialize before it removes files and UninstUnInitialize at the end.
// When the web-server integration was installed, the hook takes the servlet
// engine's filter out of the web server's filter list, has the servers
// stopped and starts the service manager's own removal.
//
// Sections: platform-neutral pieces first (also built natively for the unit
// tests and the fuzzer), then the Win32 operations.
#pragma once
#include <stddef.h>

// ---------------------------------------------------------------------------
// Platform-neutral
// ---------------------------------------------------------------------------

// The lead-byte test of the system's double-byte character set. The Win32
// side passes IsDBCSLeadByte itself, hence the calling convention.
#ifdef _WIN32
#define KX_LEAD_BYTE_CC __stdcall
#else
#define KX_LEAD_BYTE_CC
#endif
typedef int(KX_LEAD_BYTE_CC* DbcsLeadByteTest)(unsigned char byte);

// install_flag.cpp: a component flag counts as set when, after leading
// control bytes, its text begins with "true" in any letter case. Skipped are
// the bytes that are not NUL, not a lead byte and below 32 taken as a signed
// 8-bit number: 1 to 31, and 128 to 255 unless they lead a double-byte
// character. A blank is not skipped.
bool FlagTextIsSet(const char* text, DbcsLeadByteTest isLeadByte);

// filter_list.cpp: the web server's filter list is one text of entries
// separated by single commas; blanks belong to the entries. An entry that
// holds the marker anywhere (byte for byte, lower case) is the engine's.
constexpr char kEngineFilterMarker[] = "servana.dll";
// The new list is allocated this much larger than the old one, as the
// product always did; it can never need more than the old list's length.
constexpr size_t kFilterListSlack = 20;

// Copies `list` into `out` without the engine's entries, joining the others
// with one comma each. An empty entry is kept only once something precedes
// it in the new list, so empty entries at the start disappear. Returns false
// when the result and its terminator would not fit in `capacity` bytes;
// `out` then holds an empty text (if capacity allows) and must not be
// written anywhere.
bool RemoveEngineEntries(const char* list, char* out, size_t capacity);

// removal_command.cpp: "<InstallPath>\bin\smon.exe" -r smon-default,
// formed in a buffer of 512 bytes, quotes and terminator included. The
// program path is quoted: the installation usually lies under "Program
// Files", and unquoted CreateProcessA would first try C:\Program.exe and
// every longer prefix that ends at a blank.
constexpr size_t kRemovalCommandCapacity = 512;
constexpr char kRemovalProgram[] = "\\bin\\smon.exe";
constexpr char kRemovalArguments[] = " -r smon-default";

// Forms the removal command in `out`. Returns false, leaving `out` an empty
// text, when the path is empty or the command would not fit in `capacity`
// bytes: a cut command would start something else than the service
// manager's removal.
bool FormRemovalCommand(const char* installPath, char* out, size_t capacity);

#ifdef _WIN32
#include <stdlib.h>
#include <windows.h>

#include <memory>

// ---------------------------------------------------------------------------
// Win32 operations
// ---------------------------------------------------------------------------

// Owns a string from the registry string read, which the caller frees.
struct FreeText {
  void operator()(char* text) const { free(text); }
};
using HeapText = std::unique_ptr<char, FreeText>;

#define KX_FILTER_KEY "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters"
#define KX_VALUE_FILTER_DLLS "Filter DLLs"
#define KX_SERVICE_MANAGER_EXE "smon.exe"

constexpr DWORD kRemovalPauseMs = 3000;

// install_flag_win.cpp: reads the value under the Installation key; an
// absent or non-REG_SZ value is not set.
bool IsInstallFlagSet(const char* valueName);

// engine_filter_win.cpp: true when the filter list was written back, or
// when there is no list (key or value missing) and so nothing to take out.
// On every false road the list is left exactly as it was: it is not REG_SZ,
// the user declined, memory ran out or the write failed (on the last two,
// and when the list stopped being REG_SZ during the question, the service
// manager is still removed). The list edited is the one stored after the
// question, not the one before it.
bool RemoveEngineFilter();
// Whether the filter list is REG_SZ and readable, or missing (nothing to take
// out): what RemoveEngineFilter asks before anything else, for a caller that
// asks the question first.
bool EngineFilterListReadable();

// service_manager_win.cpp: starts the removal command on NT, warns with
// message 6 on 95/98 while smon.exe runs, then pauses 3 seconds. Does
// nothing without an InstallPath, nor on NT with one too long for the
// command.
void RemoveServiceManager();

// hooks_win.cpp: the two exports. The three arguments are the uninstaller's
// and are ignored.
extern "C" LONG __stdcall UninstInitialize(DWORD, DWORD, DWORD);
extern "C" LONG __stdcall UninstUnInitialize(DWORD, DWORD, DWORD);

#endif  // _WIN32
