// Helpers for the Windows-side tests: they drive the real deliverables from
// outside and look at what they did, as an installer or a user would.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <functional>
#include <string>
#include <vector>

namespace kxtest {

// Environment set by scripts/wine-run.
std::string Env(const char* name);
// Full Windows path of a built file (deliverable, stand-in or test program).
std::string BinPath(const std::string& file);
// Full Windows path of a stand-in for a program outside the system (the web
// server, the service manager): on the 64-bit Windows road the 64-bit build
// of it, otherwise the one in KX_BIN.
std::string StandinPath(const std::string& file);
// Whether this 32-bit program runs on 64-bit Windows (WOW64).
bool IsWow64();

struct RunResult {
  bool started = false;
  bool finished = false;  // false: killed at the time limit
  DWORD exitCode = 0;
};
// Starts a command line (CreateProcessA, no application name unless given)
// and waits for it. Standard output and error go to the given files when
// not empty.
RunResult Run(const std::string& commandLine, const std::string& cwd = "",
              DWORD timeoutMs = 60000, const std::string& stdoutFile = "",
              const std::string& stderrFile = "", const char* appName = nullptr);

// Runs a program as its debugger and returns its OutputDebugStringA texts in
// order.
struct DebugRun {
  bool started = false;
  DWORD exitCode = 0;
  std::vector<std::string> messages;
};
// onCreated, when given, gets the new process's handle before its first
// instruction runs (e.g. to change its token's security).
DebugRun RunUnderDebugger(const std::string& commandLine, const std::string& cwd = "",
                          DWORD timeoutMs = 60000,
                          const std::function<void(HANDLE process)>& onCreated = nullptr);

// Registry.
// view: KEY_WOW64_64KEY reads what 64-bit programs see on 64-bit Windows.
bool RegRead(HKEY root, const std::string& subKey, const std::string& value,
             std::string* data, DWORD* type = nullptr, REGSAM view = 0);
void RegWrite(HKEY root, const std::string& subKey, const std::string& value, DWORD type,
              const void* data, DWORD size);
void RegWriteSz(HKEY root, const std::string& subKey, const std::string& value,
                const std::string& text);  // terminator counted
void RegDeleteValue(HKEY root, const std::string& subKey, const std::string& value);
void RegDeleteKeyTree(HKEY root, const std::string& subKey);
// Gives a key of HKEY_LOCAL_MACHINE the access rules of an SDDL text.
bool SetKeyDacl(const char* keyName, const char* sddl);

// Files.
bool MakeDirs(const std::string& path);
bool CopyTo(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);
std::string ReadFile(const std::string& path);  // "" when missing
bool WriteFile(const std::string& path, const std::string& data);
std::string TempDir();  // a fresh folder under C:\kxtest

// Waits until a condition holds, polling every 50 ms.
template <class F>
bool WaitFor(F condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

// Answers the task-modal message boxes of this process from a second thread:
// each box is recorded (caption and text) and answered with the next button
// of the list (IDYES, IDNO, IDOK); with the list used up, the last is repeated.
// beforeAnswer, when given, runs on the watcher thread while the box is still
// open, just before it is answered (it must not use test assertions).
class DialogAnswerer {
 public:
  struct Box {
    std::string caption;
    std::string text;
  };
  explicit DialogAnswerer(std::vector<int> answers,
                          std::function<void(const Box&)> beforeAnswer = nullptr);
  ~DialogAnswerer();
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;
  // Boxes seen so far (stops the watcher first when stop is set).
  std::vector<Box> Seen();

 private:
  static DWORD WINAPI Thread(void* self);
  std::vector<int> answers_;
  std::function<void(const Box&)> beforeAnswer_;
  std::vector<Box> seen_;
  CRITICAL_SECTION lock_;
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
};

#if defined(__i386__)
// Calls fn with the given 32-bit arguments exactly as a plain stdcall
// caller (an installer) does, and gives how far the stack pointer moved
// across the call: 0 when the export removed just its own arguments.
long StackDrift(FARPROC fn, std::initializer_list<DWORD> args = {});
#endif

}  // namespace kxtest
