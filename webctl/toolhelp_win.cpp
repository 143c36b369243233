#include "webctl.h"

#include <tlhelp32.h>
#include <string.h>

#include "../common/scoped.h"

namespace {

// Looked up by name, never imported: the DLLs must still load on systems
// whose KERNEL32 lacks the tool-help functions.
typedef HANDLE(WINAPI* CreateSnapshotFn)(DWORD flags, DWORD processId);
typedef BOOL(WINAPI* ProcessWalkFn)(HANDLE snapshot, PROCESSENTRY32* entry);

#if defined(__i386__)
static_assert(sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 as Windows 95 knows it");
#endif

void CopyBounded(char* out, size_t capacity, const char* text) {
  size_t n = strnlen(text, capacity - 1);
  memcpy(out, text, n);
  out[n] = '\0';
}

}  // namespace

UINT FillFromToolhelp(ProcessEntry* entries, UINT capacity) {
  if (capacity == 0) return 0;
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return 0;
  auto createSnapshot = reinterpret_cast<CreateSnapshotFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "CreateToolhelp32Snapshot")));
  auto first = reinterpret_cast<ProcessWalkFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "Process32First")));
  auto next = reinterpret_cast<ProcessWalkFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "Process32Next")));
  if (createSnapshot == nullptr || first == nullptr || next == nullptr) return 0;

  ScopedHandle snapshot(createSnapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return 0;
  PROCESSENTRY32 process;
  ZeroMemory(&process, sizeof process);
  process.dwSize = sizeof process;
  if (!first(snapshot.get(), &process)) return 0;

  UINT count = 0;
  do {
    ProcessEntry& entry = entries[count];
    entry.processId = process.th32ProcessID;
    entry.window = nullptr;
    // szExeFile may hold a full path (Windows 95/98) or the bare name, in
    // the ANSI code page.
    process.szExeFile[sizeof process.szExeFile - 1] = '\0';
    CopyBounded(entry.exeName, kExeNameCapacity, FileNamePart(process.szExeFile, IsAnsiLeadByte));
    entry.windowTitle[0] = '\0';
    ++count;
  } while (count < capacity && next(snapshot.get(), &process));
  return count;
}
