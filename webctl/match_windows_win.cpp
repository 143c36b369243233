#include <string.h>

#include "webctl.h"

namespace {

constexpr int kClassNameCapacity = 32;

struct MatchContext {
  ProcessEntry* entries;
  UINT count;
};

// Every GUI thread has a hidden "Default IME" top-level window (class
// "IME", on newer systems also "MSCTFIME UI"), reported after the
// application's own windows; it must never be taken as the process's
// window, or WM_CLOSE would go to it instead of the application.
bool IsInputMethodWindow(HWND window) {
  char className[kClassNameCapacity];
  int n = GetClassNameA(window, className, kClassNameCapacity);
  if (n <= 0) return false;
  return ExeNamesEqual(className, "IME") || ExeNamesEqual(className, "MSCTFIME UI");
}

BOOL CALLBACK OnWindow(HWND window, LPARAM param) {
  // EnumWindows hands the caller's context over as an LPARAM.
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  const MatchContext& context = *reinterpret_cast<const MatchContext*>(param);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId == 0) return TRUE;
  if (IsInputMethodWindow(window)) return TRUE;
  for (UINT i = 0; i < context.count; ++i) {
    ProcessEntry& entry = context.entries[i];
    if (entry.processId != processId) continue;
    // The last window EnumWindows reports for the process wins.
    entry.window = window;
    char title[kWindowTitleCapacity];
    int length = GetWindowTextA(window, title, kWindowTitleCapacity);
    if (length > 0) {
      size_t n = strnlen(title, kWindowTitleCapacity - 1);
      memcpy(entry.windowTitle, title, n);
      entry.windowTitle[n] = '\0';
    }
    break;
  }
  return TRUE;  // never stopped early
}

}  // namespace

void MatchWindows(ProcessEntry* entries, UINT count) {
  MatchContext context = {entries, count};
  EnumWindows(OnWindow, reinterpret_cast<LPARAM>(&context));
}
