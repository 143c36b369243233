// Stand-in for the person at the display while a setup or uninstaller runs:
//   person.exe [--answer yes|no|none] [--limit SECONDS] "COMMAND LINE"
// Starts the command line (one argument, passed to CreateProcessA as it is:
// NSIS wants its "_?=DIR" unquoted even when DIR has blanks) and, until that
// program ends, answers every message box it shows (a top-level dialog with
// a message text), printing its caption and text first; other programs'
// boxes are not its business. A question (Yes/No) gets the given answer, Yes
// by default; any other box gets OK. With "none" it only prints them, for a
// real person at the display to answer. Exits with the program's exit
// status, or, when the program still runs after the limit (300 s unless
// given), ends it and exits with 124.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static text of a message box
constexpr DWORD kPollMs = 100;
constexpr int kTextCapacity = 2048;
constexpr DWORD kDefaultLimitSeconds = 300;
constexpr int kTimedOut = 124;

struct Search {
  std::vector<HWND>* answered;
  DWORD processId;  // whose boxes are answered
  HWND found;
};

bool Contains(const std::vector<HWND>& list, HWND window) {
  for (HWND h : list)
    if (h == window) return true;
  return false;
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  if (GetDlgItem(window, kMessageTextId) == nullptr) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId) return TRUE;
  if (Contains(*search->answered, window)) return TRUE;
  search->found = window;
  return FALSE;
}

// yesNoAnswer 0: leave the box to the person at the display.
void Answer(HWND box, int yesNoAnswer) {
  char caption[kTextCapacity] = {};
  char text[kTextCapacity] = {};
  GetWindowTextA(box, caption, sizeof caption);
  GetDlgItemTextA(box, kMessageTextId, text, sizeof text);
  if (yesNoAnswer == 0) {
    printf("message box \"%s\": %s\n   -> left to the person at the display\n", caption, text);
    fflush(stdout);
    return;
  }
  int button = GetDlgItem(box, IDYES) ? yesNoAnswer : IDOK;
  const char* name = button == IDYES ? "Yes" : button == IDNO ? "No" : "OK";
  printf("message box \"%s\": %s\n   -> answered %s\n", caption, text, name);
  fflush(stdout);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

}  // namespace

int main(int argc, char** argv) {
  int next = 1;
  int answer = IDYES;
  DWORD limitSeconds = kDefaultLimitSeconds;
  for (;;) {
    if (argc > next + 1 && strcmp(argv[next], "--answer") == 0) {
      const char* a = argv[next + 1];
      answer = strcmp(a, "no") == 0 ? IDNO : strcmp(a, "none") == 0 ? 0 : IDYES;
    } else if (argc > next + 1 && strcmp(argv[next], "--limit") == 0) {
      limitSeconds = strtoul(argv[next + 1], nullptr, 10);
    } else {
      break;
    }
    next += 2;
  }
  if (argc != next + 1) {
    printf("usage: person [--answer yes|no|none] [--limit SECONDS] \"COMMAND LINE\"\n");
    return 2;
  }
  // CreateProcessA may write into the command line.
  std::vector<char> command(argv[next], argv[next] + strlen(argv[next]) + 1);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, /*inherit_handles=*/FALSE, 0,
                      nullptr, nullptr, &startup, &child)) {
    printf("can't start %s (error %lu)\n", command.data(), GetLastError());
    return 127;
  }
  CloseHandle(child.hThread);

  // Boxes already answered and not yet gone: an answer is posted, so a box
  // stays on the display for a moment after it.
  std::vector<HWND> answered;
  DWORD begin = GetTickCount();
  while (WaitForSingleObject(child.hProcess, kPollMs) == WAIT_TIMEOUT) {
    if (GetTickCount() - begin >= limitSeconds * 1000) {
      TerminateProcess(child.hProcess, kTimedOut);
      WaitForSingleObject(child.hProcess, kPollMs * 50);
      CloseHandle(child.hProcess);
      printf("still running after %lu s: ended\n", limitSeconds);
      return kTimedOut;
    }
    std::vector<HWND> open;
    for (HWND h : answered)
      if (IsWindow(h)) open.push_back(h);
    answered.swap(open);
    Search search = {&answered, child.dwProcessId, nullptr};
    EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      Answer(search.found, answer);
      answered.push_back(search.found);
    }
  }
  DWORD status = 0;
  GetExitCodeProcess(child.hProcess, &status);
  CloseHandle(child.hProcess);
  printf("exit status %lu after %.1f s\n", status, (GetTickCount() - begin) / 1000.0);
  return static_cast<int>(status);
}
