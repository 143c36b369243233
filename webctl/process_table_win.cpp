#include "webctl.h"

// Module state: zero when the DLL is loaded, refilled by every FindProcess.
ProcessTableState ProcessTable;

namespace {

// The privilege step on Windows 95/98, where there is nothing to enable.
int NoPrivilegeStep(PrivilegeChange* /*change*/) { return 1; }

}  // namespace

int FindProcess(UINT* index, const char* exeName) {
  switch (GetPlatformFamily()) {
    case VER_PLATFORM_WIN32_WINDOWS:
      ProcessTable.fill = FillFromToolhelp;
      ProcessTable.privilege = NoPrivilegeStep;
      break;
    case VER_PLATFORM_WIN32_NT:
      ProcessTable.fill = FillFromPerformanceData;
      ProcessTable.privilege = EnableDebugPrivilege;
      break;
    default:
      // Reported as found, without an index: the only caller that gets
      // here (ShutdownService) gives up with message 6 before using one.
      ShowMessage(kMsgInvalidOs, kBoxOk);
      return 1;
  }
  // Without the privilege the look-up still works.
  const PrivilegeScope privilege(ProcessTable.privilege);
  // Taken before the query: a process the table lists can only be older.
  GetSystemTimeAsFileTime(&ProcessTable.takenAt);
  UINT count = ProcessTable.fill(ProcessTable.entries, kProcessTableCapacity);
  if (count > kProcessTableCapacity) count = kProcessTableCapacity;
  ProcessTable.count = count;
  MatchWindows(ProcessTable.entries, count);
  if (exeName == nullptr) return 0;
  for (UINT i = 0; i < count; ++i) {
    if (ExeNamesEqual(ProcessTable.entries[i].exeName, exeName)) {
      if (index != nullptr) *index = i;
      return 1;
    }
  }
  return 0;
}
