#include "../common/scoped.h"
#include "webctl.h"

namespace {

// The longest format (37 characters) with the longest %d (11) fits.
constexpr size_t kDebugTextCapacity = 64;

int ReportFailure(const char* format) {
  char text[kDebugTextCapacity];
  // wsprintfA rather than snprintf: the mingw snprintf would add some 20 KB
  // to each DLL.
  wsprintfA(text, format, static_cast<int>(GetLastError()));
  OutputDebugStringA(text);
  return 0;
}

}  // namespace

// Lets the library terminate the web server on NT even when it runs under
// another account. Failures go to the debugger only; the caller goes on.
int EnableDebugPrivilege(PrivilegeChange* change) {
  change->previous.PrivilegeCount = 0;
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    return ReportFailure("OpenProcessToken failed with %d\n");
  ScopedHandle closer(token);
  TOKEN_PRIVILEGES privileges;
  ZeroMemory(&privileges, sizeof privileges);
  if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid))
    return ReportFailure("LookupPrivilegeValue failed with %d\n");
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  static_assert(sizeof privileges == 16, "one privilege");
  // The previous state lists only what the call changes: a privilege that
  // was on already is left on when it is put back.
  TOKEN_PRIVILEGES previous;
  ZeroMemory(&previous, sizeof previous);
  DWORD previousSize = 0;
  // The result says only that the call ran; GetLastError tells whether the
  // privilege was granted (ERROR_NOT_ALL_ASSIGNED when it was not).
  AdjustTokenPrivileges(token, /*DisableAllPrivileges=*/FALSE, &privileges, sizeof previous,
                        &previous, &previousSize);
  if (GetLastError() != ERROR_SUCCESS)
    return ReportFailure("AdjustTokenPrivileges failed with %d\n");
  if (previous.PrivilegeCount <= 1) change->previous = previous;
  return 1;
}

void RestorePrivileges(const PrivilegeChange& change) {
  if (change.previous.PrivilegeCount == 0) return;  // nothing was switched on
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) {
    ReportFailure("OpenProcessToken failed with %d\n");
    return;
  }
  ScopedHandle closer(token);
  TOKEN_PRIVILEGES previous = change.previous;  // the call takes it as writable
  AdjustTokenPrivileges(token, /*DisableAllPrivileges=*/FALSE, &previous, 0, nullptr, nullptr);
  if (GetLastError() != ERROR_SUCCESS) ReportFailure("AdjustTokenPrivileges failed with %d\n");
}
