#include "kxtest.h"

#include <sddl.h>  // after windows.h

#include <stdio.h>
#include <string.h>

#include <gtest/gtest.h>

namespace kxtest {

std::string Env(const char* name) {
  char buffer[32768];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return "";
  return std::string(buffer, n);
}

std::string BinPath(const std::string& file) { return Env("KX_BIN") + "\\" + file; }

std::string StandinPath(const std::string& file) {
  std::string dir = Env("KX_STANDIN_BIN");
  return dir.empty() ? BinPath(file) : dir + "\\" + file;
}

bool IsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

namespace {

// Before any test: the prefix is the one scripts/wine-run was asked for, and
// with --net the net.exe a 32-bit program finds in its system folder is the
// recording stand-in (syswow64 on 64-bit Windows).
class RoadCheck : public ::testing::Environment {
  void SetUp() override {
    ASSERT_EQ(IsWow64(), !Env("KX_WIN64_ROAD").empty()) << "run on the wrong road";
    if (Env("KX_STANDIN_NET").empty()) return;
    char system[MAX_PATH];
    UINT n = GetSystemDirectoryA(system, sizeof system);
    ASSERT_TRUE(n > 0 && n < sizeof system);
    const std::string net = ReadFile(std::string(system) + "\\net.exe");
    ASSERT_FALSE(net.empty());
    ASSERT_EQ(net, ReadFile(BinPath("standin_net.exe"))) << "the system's net.exe records nothing";
  }
};
::testing::Environment* const kRoadCheck = ::testing::AddGlobalTestEnvironment(new RoadCheck);

}  // namespace

namespace {

HANDLE OpenForChild(const std::string& path) {
  if (path.empty()) return nullptr;
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

}  // namespace

RunResult Run(const std::string& commandLine, const std::string& cwd, DWORD timeoutMs,
              const std::string& stdoutFile, const std::string& stderrFile, const char* appName) {
  RunResult result;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  HANDLE out = OpenForChild(stdoutFile);
  HANDLE err = OpenForChild(stderrFile);
  if (out || err) {
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out ? out : GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = err ? err : GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION pi = {};
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  result.started = CreateProcessA(appName, cmd.data(), nullptr, nullptr, /*inherit=*/TRUE, 0,
                                  nullptr, cwd.empty() ? nullptr : cwd.c_str(), &si, &pi) != 0;
  if (out) CloseHandle(out);
  if (err) CloseHandle(err);
  if (!result.started) return result;
  if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    result.finished = true;
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
  } else {
    TerminateProcess(pi.hProcess, 255);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return result;
}

DebugRun RunUnderDebugger(const std::string& commandLine, const std::string& cwd,
                          DWORD timeoutMs, const std::function<void(HANDLE)>& onCreated) {
  DebugRun run;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                      nullptr, cwd.empty() ? nullptr : cwd.c_str(), &si, &pi))
    return run;
  run.started = true;
  DWORD start = GetTickCount();
  for (;;) {
    DEBUG_EVENT ev = {};
    if (!WaitForDebugEvent(&ev, 500)) {
      if (GetTickCount() - start > timeoutMs) {
        TerminateProcess(pi.hProcess, 255);
      }
      continue;
    }
    DWORD status = DBG_CONTINUE;
    switch (ev.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT: {
        const OUTPUT_DEBUG_STRING_INFO& info = ev.u.DebugString;
        std::string text(info.nDebugStringLength, '\0');
        SIZE_T got = 0;
        ReadProcessMemory(pi.hProcess, info.lpDebugStringData, &text[0], text.size(), &got);
        text.resize(got);
        if (!text.empty() && text.back() == '\0') text.pop_back();
        run.messages.push_back(text);
        break;
      }
      case CREATE_PROCESS_DEBUG_EVENT:
        if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
        if (onCreated) onCreated(pi.hProcess);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
        break;
      case EXCEPTION_DEBUG_EVENT:
        if (ev.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
          status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        run.exitCode = ev.u.ExitProcess.dwExitCode;
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return run;
    }
    ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
  }
}

bool RegRead(HKEY root, const std::string& subKey, const std::string& value, std::string* data,
             DWORD* type, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  DWORD t = 0, size = 0;
  LONG r = RegQueryValueExA(key, value.c_str(), nullptr, &t, nullptr, &size);
  std::string buffer(size, '\0');
  if (r == ERROR_SUCCESS && size)
    r = RegQueryValueExA(key, value.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(&buffer[0]),
                         &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) return false;
  buffer.resize(size);
  if (type) *type = t;
  // Strings come back without their terminator, so tests compare texts.
  if ((t == REG_SZ || t == REG_EXPAND_SZ) && !buffer.empty() && buffer.back() == '\0')
    buffer.pop_back();
  if (data) *data = buffer;
  return true;
}

void RegWrite(HKEY root, const std::string& subKey, const std::string& value, DWORD type,
              const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, value.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void RegWriteSz(HKEY root, const std::string& subKey, const std::string& value,
                const std::string& text) {
  RegWrite(root, subKey, value, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void RegDeleteValue(HKEY root, const std::string& subKey, const std::string& value) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueA(key, value.c_str());
  RegCloseKey(key);
}

void RegDeleteKeyTree(HKEY root, const std::string& subKey) {
  HKEY key;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  char name[256];
  for (;;) {
    DWORD n = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    RegDeleteKeyTree(key, name);
  }
  RegCloseKey(key);
  RegDeleteKeyA(root, subKey.c_str());
}

bool SetKeyDacl(const char* keyName, const char* sddl) {
  PSECURITY_DESCRIPTOR rules = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &rules, nullptr))
    return false;
  HKEY key;
  LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, WRITE_DAC, &key);
  if (result == ERROR_SUCCESS) {
    result = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, rules);
    RegCloseKey(key);
  }
  LocalFree(rules);
  return result == ERROR_SUCCESS;
}

bool MakeDirs(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    else if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size())
      ++i;  // its second byte may be 0x5C
  }
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CopyTo(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadFile(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "";
  std::string data;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
  fclose(f);
  return data;
}

bool WriteFile(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

std::string TempDir() {
  static int counter = 0;
  char name[64];
  snprintf(name, sizeof name, "C:\\kxtest\\t%lu_%d", GetCurrentProcessId(), ++counter);
  MakeDirs(name);
  return name;
}

DialogAnswerer::DialogAnswerer(std::vector<int> answers,
                               std::function<void(const Box&)> beforeAnswer)
    : answers_(std::move(answers)), beforeAnswer_(std::move(beforeAnswer)) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, Thread, this, 0, nullptr);
}

DialogAnswerer::~DialogAnswerer() {
  InterlockedExchange(&stop_, 1);
  if (thread_) {
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
  }
  DeleteCriticalSection(&lock_);
}

std::vector<DialogAnswerer::Box> DialogAnswerer::Seen() {
  EnterCriticalSection(&lock_);
  std::vector<Box> copy = seen_;
  LeaveCriticalSection(&lock_);
  return copy;
}

namespace {
struct FindState {
  DWORD pid;
  HWND found;
};
BOOL CALLBACK FindDialog(HWND hwnd, LPARAM param) {
  auto* state = reinterpret_cast<FindState*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char cls[64] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == state->pid && strcmp(cls, "#32770") == 0 && IsWindowVisible(hwnd)) {
    state->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

DWORD WINAPI DialogAnswerer::Thread(void* param) {
  auto* self = static_cast<DialogAnswerer*>(param);
  HWND last = nullptr;
  size_t next = 0;
  while (!self->stop_) {
    FindState state = {GetCurrentProcessId(), nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&state));
    if (state.found && state.found != last) {
      Box box;
      char text[2048] = {};
      GetWindowTextA(state.found, text, sizeof text);
      box.caption = text;
      text[0] = '\0';
      GetDlgItemTextA(state.found, 0xFFFF, text, sizeof text);
      box.text = text;
      EnterCriticalSection(&self->lock_);
      self->seen_.push_back(box);
      LeaveCriticalSection(&self->lock_);
      if (self->beforeAnswer_) self->beforeAnswer_(box);
      int answer = self->answers_.empty() ? IDOK
                   : next < self->answers_.size() ? self->answers_[next++]
                                                  : self->answers_.back();
      PostMessageA(state.found, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
      last = state.found;
    }
    Sleep(50);
  }
  return 0;
}

#if defined(__i386__)
long StackDrift(FARPROC fn, std::initializer_list<DWORD> args) {
  const DWORD* first = args.begin();
  long count = static_cast<long>(args.size());
  long drift;
  // Pushes the arguments last to first, calls, and measures against the
  // stack pointer saved in a callee-saved register.
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n"
      "1:\n\t"
      "pushl -4(%%edi,%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jnz 1b\n"
      "2:\n\t"
      "call *%%ebx\n\t"
      "movl %%esp, %%edx\n\t"
      "subl %%esi, %%edx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=&d"(drift), "+c"(count)
      : "b"(fn), "D"(first)
      : "eax", "esi", "memory", "cc");
  return drift;
}
#endif

}  // namespace kxtest
