// The process look-up of the real library, in a test program that carries
// its own string table, against stand-in programs started for each test.
// Run once per platform family: the Win9x tests with Wine's Version set to
// win98 (tool-help snapshot), the Nt tests with winxp (performance data
// from the stand-in provider), the Unsupported tests with win31.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <aclapi.h>

#include "kxtest.h"
#include "standin_run.h"
#include "webctl.h"

using namespace kxtest;

namespace {

const bool kTextsFromThisProgram = (ModuleInstance = GetModuleHandleA(nullptr), true);

constexpr UINT kUnchanged = 0xC0FFEE;
constexpr char kWindowless[] = "standin-windowless.exe";
constexpr char kWindowed[] = "standin-windowed.exe";
constexpr char kWindowedClass[] = "KxStandinWebServer";

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The top-level windows of a process in EnumWindows order, with classes.
struct TopWindow {
  HWND window;
  std::string className;
};
struct WindowsOfContext {
  DWORD pid;
  std::vector<TopWindow> found;
};
BOOL CALLBACK CollectWindowOf(HWND w, LPARAM p) {
  auto* c = reinterpret_cast<WindowsOfContext*>(p);
  DWORD owner = 0;
  GetWindowThreadProcessId(w, &owner);
  if (owner == c->pid) {
    char cls[64] = {};
    GetClassNameA(w, cls, sizeof cls);
    c->found.push_back({w, cls});
  }
  return TRUE;
}
std::vector<TopWindow> WindowsOf(DWORD pid) {
  WindowsOfContext ctx{pid, {}};
  EnumWindows(CollectWindowOf, reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

// Indices of the table's records for a process id.
std::vector<UINT> RecordsOf(DWORD pid) {
  std::vector<UINT> at;
  for (UINT i = 0; i < ProcessTable.count; ++i)
    if (ProcessTable.entries[i].processId == pid) at.push_back(i);
  return at;
}

// ---------------------------------------------------------------------------
// Windows 95/98: the tool-help snapshot.

TEST(Win9x, FindsARunningProgramByItsFileNameIgnoringCase) {
  ASSERT_EQ(GetPlatformFamily(), static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
  // Started by its full path: the record holds the file name only.
  StandinRun server(Quoted(StandinPath(kWindowless)));
  ASSERT_TRUE(server.started());
  UINT index = kUnchanged;
  ASSERT_EQ(FindProcess(&index, "STANDIN-WINDOWLESS.EXE"), 1);
  ASSERT_LT(index, ProcessTable.count);
  const ProcessEntry& e = ProcessTable.entries[index];
  EXPECT_EQ(e.processId, server.pid());
  EXPECT_STREQ(e.exeName, kWindowless);
  EXPECT_EQ(e.window, nullptr) << "a windowless process keeps no window";
  EXPECT_EQ(ProcessTable.fill, &FillFromToolhelp);
  EXPECT_NE(ProcessTable.privilege, &EnableDebugPrivilege);
  // This program is in the table too, under its own name.
  EXPECT_EQ(RecordsOf(GetCurrentProcessId()).size(), 1u);
}

TEST(Win9x, TwoProcessesOfOneNameGiveTheLowerIndex) {
  StandinRun first(Quoted(StandinPath(kWindowless)));
  StandinRun second(Quoted(StandinPath(kWindowless)));
  ASSERT_TRUE(first.started() && second.started());
  UINT index = kUnchanged;
  ASSERT_EQ(FindProcess(&index, kWindowless), 1);
  std::vector<UINT> a = RecordsOf(first.pid()), b = RecordsOf(second.pid());
  ASSERT_EQ(a.size(), 1u);
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(index, std::min(a[0], b[0]));
  EXPECT_NE(a[0], b[0]);
}

TEST(Win9x, AProgramThatIsNotRunningLeavesTheIndexAlone) {
  UINT index = kUnchanged;
  EXPECT_EQ(FindProcess(&index, "inetinfo.exe"), 0);
  EXPECT_EQ(index, kUnchanged);
  EXPECT_GT(ProcessTable.count, 0u) << "the table was still refilled";
  // Nor does a name that only starts like a running one match.
  EXPECT_EQ(FindProcess(&index, "standin-windowless"), 0);
  EXPECT_EQ(index, kUnchanged);
}

TEST(Win9x, AWindowedProgramGetsItsOwnWindowNotTheInputMethodWindow) {
  StandinRun server(Quoted(StandinPath(kWindowed)), /*windowed=*/true);
  ASSERT_TRUE(server.started());
  HWND own = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (own = FindWindowA(kWindowedClass, nullptr)) != nullptr; },
                      10000));
  // The case that matters: the IME window comes after the program's own.
  std::vector<TopWindow> windows = WindowsOf(server.pid());
  ASSERT_GE(windows.size(), 2u);
  EXPECT_EQ(windows.back().className, "IME");

  UINT index = kUnchanged;
  ASSERT_EQ(FindProcess(&index, kWindowed), 1);
  const ProcessEntry& e = ProcessTable.entries[index];
  EXPECT_EQ(e.window, own);
  EXPECT_STREQ(e.windowTitle, "Stand-in web server");
}

TEST(Win9x, MatchWindowsKeepsTheTitleOfAnUntitledWindowAndSkipsUnknownIds) {
  StandinRun server(Quoted(StandinPath(kWindowed)) + " --untitled", /*windowed=*/true);
  ASSERT_TRUE(server.started());
  HWND own = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (own = FindWindowA(kWindowedClass, nullptr)) != nullptr; },
                      10000));
  ProcessEntry entries[3] = {};
  entries[0].processId = 0xFFFFFFFE;  // an NT id that read 0: never matched
  entries[1].processId = server.pid();
  strcpy(entries[1].windowTitle, "earlier title");
  entries[2].processId = server.pid();  // beyond the count: not looked at
  MatchWindows(entries, 2);
  EXPECT_EQ(entries[0].window, nullptr);
  EXPECT_EQ(entries[1].window, own);
  EXPECT_STREQ(entries[1].windowTitle, "earlier title");
  EXPECT_EQ(entries[2].window, nullptr);
}

TEST(Win9x, TheSnapshotFillStopsAtTheCapacity) {
  ProcessEntry entries[3];
  memset(entries, 0x5A, sizeof entries);
  EXPECT_EQ(FillFromToolhelp(entries, 0), 0u);
  EXPECT_EQ(entries[0].processId, 0x5A5A5A5Au);
  ASSERT_EQ(FillFromToolhelp(entries, 2), 2u);
  EXPECT_EQ(entries[1].window, nullptr);
  EXPECT_LT(strlen(entries[1].exeName), sizeof entries[1].exeName);
  EXPECT_EQ(entries[2].processId, 0x5A5A5A5Au) << "written past the capacity";
}

// Wine never refuses TerminateProcess once the process could be opened, so
// the refusal comes from a stand-in for the call.
BOOL WINAPI RefuseTermination(HANDLE, UINT) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST(Win9x, ARefusedTerminationShowsMessage3AndTheShutdownStillSucceeds) {
  const std::string folder = TempDir();
  ASSERT_TRUE(CopyTo(StandinPath(kWindowless), folder + "\\inetinfo.exe"));
  StandinRun server(Quoted(folder + "\\inetinfo.exe"));
  ASSERT_TRUE(server.started());
  TerminateProcessHook = RefuseTermination;
  int shutdown, stop;
  std::vector<DialogAnswerer::Box> boxes;
  {
    DialogAnswerer answerer({IDYES, IDOK});
    shutdown = ShutdownService();
    UINT index = kUnchanged;
    EXPECT_EQ(FindProcess(&index, "inetinfo.exe"), 1);
    stop = StopWebServerProcess(index);
    boxes = answerer.Seen();
  }
  TerminateProcessHook = TerminateProcess;
  EXPECT_EQ(shutdown, 1);
  EXPECT_EQ(stop, 0);
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, "Test 1: may the web server be stopped?");
  EXPECT_EQ(boxes[1].text, "Test 3: cannot terminate");
  EXPECT_EQ(boxes[2].text, "Test 3: cannot terminate");
  EXPECT_EQ(boxes[2].caption, "Test caption");
  EXPECT_EQ(WaitForSingleObject(server.process(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// Measurement only (not run by ctest): run the test program with
// --gtest_also_run_disabled_tests --gtest_filter=Win9x.DISABLED_*
TEST(Win9x, DISABLED_BenchmarkFindProcessWithAbout30Processes) {
  std::vector<std::unique_ptr<StandinRun>> running;
  UINT index = 0;
  FindProcess(&index, kWindowless);
  while (ProcessTable.count < 30) {
    running.push_back(std::make_unique<StandinRun>(Quoted(StandinPath(kWindowless))));
    FindProcess(&index, kWindowless);
  }
  constexpr int kRounds = 200;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  for (int i = 0; i < kRounds; ++i) ASSERT_EQ(FindProcess(&index, "inetinfo.exe"), 0);
  QueryPerformanceCounter(&end);
  double ms = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart / kRounds;
  printf("FindProcess, 95/98 road, %u processes: %.3f ms a look-up\n", ProcessTable.count, ms);
  auto time = [&](auto step) {
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kRounds; ++i) step();
    QueryPerformanceCounter(&end);
    return 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart / kRounds;
  };
  ProcessEntry entries[kProcessTableCapacity];
  UINT count = 0;
  double fill = time([&] { count = FillFromToolhelp(entries, kProcessTableCapacity); });
  double match = time([&] { MatchWindows(entries, count); });
  printf("  of which the snapshot %.3f ms, the window match %.3f ms\n", fill, match);
}

// ---------------------------------------------------------------------------
// Windows NT: the performance data, published by the stand-in provider.

constexpr char kProviderKey[] = "System\\CurrentControlSet\\Services\\KxStandinPerf";

class Nt : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetPlatformFamily(), static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    const std::string key = std::string(kProviderKey) + "\\Performance";
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Library", BinPath("standin-perf-provider.dll"));
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Open", "StandinOpen");
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Collect", "StandinCollect");
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Close", "StandinClose");
    SetMode("");
  }
  void TearDown() override { RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kProviderKey); }
  static void SetMode(const char* mode) {
    SetEnvironmentVariableA("KX_STANDIN_PERF_MODE", mode);
    SetEnvironmentVariableA("KX_STANDIN_PERF_CALLS", "0");
    SetEnvironmentVariableA("KX_STANDIN_PERF_SIZES", "");
  }
  static int Collects() { return atoi(Env("KX_STANDIN_PERF_CALLS").c_str()); }
  static std::vector<long long> OfferedSizes() {
    std::vector<long long> sizes;
    std::string list = Env("KX_STANDIN_PERF_SIZES");
    for (size_t at = 0; at < list.size();) {
      size_t comma = list.find(',', at);
      sizes.push_back(atoll(list.substr(at, comma - at).c_str()));
      at = comma == std::string::npos ? list.size() : comma + 1;
    }
    return sizes;
  }
};

TEST_F(Nt, FindsRunningProgramsThroughThePerformanceData) {
  StandinRun windowless(Quoted(StandinPath(kWindowless)));
  StandinRun windowed(Quoted(StandinPath(kWindowed)), /*windowed=*/true);
  ASSERT_TRUE(windowless.started() && windowed.started());
  HWND own = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (own = FindWindowA(kWindowedClass, nullptr)) != nullptr; },
                      10000));

  UINT index = kUnchanged;
  DWORD start = GetTickCount();
  ASSERT_EQ(FindProcess(&index, "Standin-Windowless.EXE"), 1);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 1990u) << "the pause after the query";
  EXPECT_EQ(Collects(), 1);
  EXPECT_EQ(ProcessTable.fill, &FillFromPerformanceData);
  EXPECT_EQ(ProcessTable.privilege, &EnableDebugPrivilege);

  const ProcessEntry& e = ProcessTable.entries[index];
  EXPECT_EQ(e.processId, windowless.pid());
  EXPECT_STREQ(e.exeName, kWindowless) << "the instance name gets .exe";
  EXPECT_EQ(e.window, nullptr);

  std::vector<UINT> w = RecordsOf(windowed.pid());
  ASSERT_EQ(w.size(), 1u);
  EXPECT_STREQ(ProcessTable.entries[w[0]].exeName, kWindowed);
  EXPECT_EQ(ProcessTable.entries[w[0]].window, own);
  EXPECT_STREQ(ProcessTable.entries[w[0]].windowTitle, "Stand-in web server");

  // "Idle" and "_Total" read id 0 and are kept apart as 0xFFFFFFFE.
  ASSERT_GE(ProcessTable.count, 4u);
  EXPECT_STREQ(ProcessTable.entries[0].exeName, "Idle.exe");
  EXPECT_EQ(ProcessTable.entries[0].processId, 0xFFFFFFFEu);
  EXPECT_EQ(ProcessTable.entries[0].window, nullptr);
  const ProcessEntry& total = ProcessTable.entries[ProcessTable.count - 1];
  EXPECT_STREQ(total.exeName, "_Total.exe");
  EXPECT_EQ(total.processId, 0xFFFFFFFEu);
}

TEST_F(Nt, GrowsTheBufferAfterMoreDataUntilTheDataFits) {
  StandinRun server(Quoted(StandinPath(kWindowless)));
  SetMode("more:3");
  UINT index = kUnchanged;
  ASSERT_EQ(FindProcess(&index, kWindowless), 1);
  EXPECT_EQ(ProcessTable.entries[index].processId, server.pid());
  EXPECT_EQ(Collects(), 4);
  // Each query offers 32,767 bytes more than the one before, although
  // Wine leaves the size at 0 after ERROR_MORE_DATA.
  std::vector<long long> sizes = OfferedSizes();
  ASSERT_EQ(sizes.size(), 4u);
  for (size_t i = 1; i < sizes.size(); ++i) EXPECT_EQ(sizes[i] - sizes[i - 1], 32767) << i;
}

TEST_F(Nt, GivesUpWithAnEmptyTableAfter26Queries) {
  StandinRun server(Quoted(StandinPath(kWindowless)));
  SetMode("always-more");
  // What 26 refused queries cost on this machine now (each loads the
  // provider): only the 2 s pause on top of them may not show.
  DWORD start = GetTickCount();
  std::vector<char> block(32767);
  for (int i = 0; i < 26; ++i, block.resize(block.size() + 32767)) {
    DWORD size = static_cast<DWORD>(block.size());
    RegQueryValueExA(HKEY_PERFORMANCE_DATA, "230", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(block.data()), &size);
  }
  RegCloseKey(HKEY_PERFORMANCE_DATA);
  const DWORD queries = GetTickCount() - start;
  ASSERT_EQ(Collects(), 26);
  SetMode("always-more");
  UINT index = kUnchanged;
  start = GetTickCount();
  EXPECT_EQ(FindProcess(&index, kWindowless), 0);
  EXPECT_LT(GetTickCount() - start, queries + 1900u) << "no pause without data";
  EXPECT_EQ(index, kUnchanged);
  EXPECT_EQ(ProcessTable.count, 0u);
  EXPECT_EQ(Collects(), 26);
  std::vector<long long> sizes = OfferedSizes();
  ASSERT_EQ(sizes.size(), 26u);
  EXPECT_EQ(sizes.back() - sizes.front(), 25LL * 32767);
}

TEST_F(Nt, WineWithoutAProviderGivesAnEmptyTable) {
  TearDown();  // Wine's own data: a block without any object
  StandinRun server(Quoted(StandinPath(kWindowless)));
  UINT index = kUnchanged;
  EXPECT_EQ(FindProcess(&index, kWindowless), 0);
  EXPECT_EQ(index, kUnchanged);
  EXPECT_EQ(ProcessTable.count, 0u);
  EXPECT_EQ(Collects(), 0);
}

TEST_F(Nt, AListedIdThatNamesAProcessNewerThanTheTableIsNeverEnded) {
  // The server listed as inetinfo.exe ended after the query, and its id went
  // to a program started since: closing or terminating that one would hit
  // the wrong program. Wine hands out fresh ids, so the stand-in provider
  // lists a process it starts during the query under the server's name.
  for (const char* mode : {"newer", "newer-windowed"}) {
    const bool windowed = strcmp(mode, "newer") != 0;
    SetMode(mode);
    SetEnvironmentVariableA("KX_STANDIN_PERF_NEWER",
                            Quoted(StandinPath(windowed ? kWindowed : kWindowless)).c_str());
    SetEnvironmentVariableA("KX_STANDIN_PERF_NEWER_PID", nullptr);
    UINT index = kUnchanged;
    ASSERT_EQ(FindProcess(&index, "inetinfo.exe"), 1) << mode;
    const ProcessEntry& listed = ProcessTable.entries[index];
    HANDLE newer = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, listed.processId);
    ASSERT_NE(newer, nullptr) << mode;
    EXPECT_EQ(listed.processId, strtoul(Env("KX_STANDIN_PERF_NEWER_PID").c_str(), nullptr, 10));
    EXPECT_EQ(listed.window != nullptr, windowed) << mode;
    EXPECT_EQ(StopWebServerProcess(index), 1) << mode << ": taken as gone";
    EXPECT_EQ(WaitForSingleObject(newer, 1000), static_cast<DWORD>(WAIT_TIMEOUT)) << mode;
    TerminateProcess(newer, 0);
    CloseHandle(newer);
  }
  // Created in the very tick the table was taken: a process since then.
  SetMode("");
  StandinRun tied(Quoted(StandinPath(kWindowless)));
  UINT index = kUnchanged;
  ASSERT_EQ(FindProcess(&index, kWindowless), 1);
  FILETIME exited, kernelTime, userTime;
  ASSERT_TRUE(GetProcessTimes(tied.process(), &ProcessTable.takenAt, &exited, &kernelTime,
                              &userTime));
  EXPECT_EQ(StopWebServerProcess(index), 1) << "a tie: taken as gone";
  EXPECT_EQ(WaitForSingleObject(tied.process(), 1000), static_cast<DWORD>(WAIT_TIMEOUT));
}

// Denies everyone the right to adjust the privileges of a process's token.
void DenyPrivilegeAdjustment(HANDLE process) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(process, WRITE_DAC | READ_CONTROL, &token));
  char everyone[] = "EVERYONE";
  EXPLICIT_ACCESSA deny = {};
  deny.grfAccessPermissions = TOKEN_ADJUST_PRIVILEGES;
  deny.grfAccessMode = DENY_ACCESS;
  deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  deny.Trustee.ptstrName = everyone;
  PACL acl = nullptr;
  ASSERT_EQ(SetEntriesInAclA(1, &deny, nullptr, &acl), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(SetSecurityInfo(token, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            acl, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(acl);
  CloseHandle(token);
}

TEST_F(Nt, TheDebugPrivilegeStepSucceedsSilentlyAndReportsAFailureToTheDebugger) {
  DebugRun run = RunUnderDebugger(Quoted(BinPath("webctl-privilege-probe.exe")));
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 1u) << "EnableDebugPrivilege's result";
  EXPECT_TRUE(run.messages.empty()) << run.messages.front();

  // A token whose privileges the process may not adjust: the step fails
  // with the error on the debug output, and the caller goes on. (Wine lets
  // AdjustTokenPrivileges succeed even in a restricted token, so only the
  // first failure can be brought about here.)
  run = RunUnderDebugger(Quoted(BinPath("webctl-privilege-probe.exe")), "", 60000,
                         DenyPrivilegeAdjustment);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u);
  ASSERT_EQ(run.messages.size(), 1u);
  EXPECT_EQ(run.messages[0], "OpenProcessToken failed with 5\n");
}

// ---------------------------------------------------------------------------
// An unsupported platform family (Wine's win31 reports dwPlatformId 0).

TEST(Unsupported, ShowsMessage2AndReportsFoundWithoutTouchingTheTable) {
  ASSERT_EQ(GetPlatformFamily(), 0u);
  ProcessTable.count = 3;
  ProcessTable.fill = nullptr;
  ProcessTable.entries[0].processId = 77;
  UINT index = kUnchanged;
  int result;
  std::vector<DialogAnswerer::Box> boxes;
  {
    DialogAnswerer answerer({IDOK});
    result = FindProcess(&index, "inetinfo.exe");
    boxes = answerer.Seen();
  }
  EXPECT_EQ(result, 1);
  EXPECT_EQ(index, kUnchanged);
  EXPECT_EQ(ProcessTable.count, 3u);
  EXPECT_EQ(ProcessTable.fill, nullptr);
  EXPECT_EQ(ProcessTable.entries[0].processId, 77u);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Test caption");
  EXPECT_EQ(boxes[0].text, "Test 2: invalid OS requires Windows NT, Windows 95 or Windows 98");
}

}  // namespace
