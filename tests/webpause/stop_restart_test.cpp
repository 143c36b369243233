// ShutdownService and the restart export of the real webpause.dll, against
// stand-in servers started by the test and a recording net.exe in the
// system folder (and a planted one next to the test program, which must
// never run). The message boxes are answered from a second thread. One
// program, run once per platform family (and once under a Japanese locale);
// each family's tests check first that the family is the one they are for.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "kxtest.h"
#include "webpause_texts.h"

using namespace kxtest;

namespace {

typedef int(__stdcall* NoArgument)();

constexpr DWORD kReadyMs = 15000;
constexpr DWORD kRestartPollMs = 10000;

DWORD PlatformFamily() {
  OSVERSIONINFOA info = {};
  info.dwOSVersionInfoSize = sizeof info;
  return GetVersionExA(&info) ? info.dwPlatformId : 99;
}

// A UTF-8 text as the message box shows it through the ANSI functions.
std::string Ansi(const char* utf8) {
  wchar_t wide[1024];
  char ansi[2048];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 1024);
  if (n <= 0) return "<bad>";
  n = WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
  return n > 0 ? std::string(ansi) : "<bad>";
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The stand-in web server, copied under a given name and started; it keeps
// a record file of its own.
class StandIn {
 public:
  StandIn() = default;
  StandIn(const StandIn&) = delete;
  StandIn& operator=(const StandIn&) = delete;
  ~StandIn() { Kill(); }

  bool Start(const std::string& folder, const std::string& exeName, const std::string& mode) {
    exe_ = folder + "\\" + exeName;
    record_ = folder + "\\" + exeName + "." + mode + ".record";
    if (!FileExists(exe_) && !CopyTo(StandinPath("standin_webserver.exe"), exe_)) return false;
    SetEnvironmentVariableA("KX_WEBSERVER_RECORD", record_.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string command = "\"" + exe_ + "\" " + mode;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi_))
      return false;
    return WaitFor([&] { return Contains(Record(), "ready\n"); }, kReadyMs);
  }
  std::string Record() const { return ReadFile(record_); }
  bool Running() const { return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
  // True when it ended within ms; its exit code then goes to *code.
  bool Ended(DWORD ms, DWORD* code) const {
    if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0) return false;
    GetExitCodeProcess(pi_.hProcess, code);
    return true;
  }
  void Kill() {
    if (!pi_.hProcess) return;
    TerminateProcess(pi_.hProcess, 99);
    WaitForSingleObject(pi_.hProcess, 5000);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    pi_ = {};
  }

 private:
  std::string exe_, record_;
  PROCESS_INFORMATION pi_ = {};
};

// Stops every process whose record file names it ("pid N" lines).
void KillRecorded(const std::string& record) {
  std::string text = ReadFile(record);
  for (size_t at = text.find("pid "); at != std::string::npos; at = text.find("pid ", at + 4)) {
    DWORD pid = strtoul(text.c_str() + at + 4, nullptr, 10);
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) continue;
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
}

// Wine loads its display driver on the first window call of the process.
// When the answering thread makes that call while this thread holds the
// loader lock (the NT look-up loads performance providers whose DllMain
// registers window classes), the two threads deadlock. Loading it here,
// before any answerer runs, avoids that; the installer has no second thread.
void LoadDisplayDriver() {
  static bool loaded = false;
  if (loaded) return;
  DestroyWindow(CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  loaded = true;
}

// Switches SeDebugPrivilege of this process on or off, and tells whether it
// is on: an installer's token as the DLL must leave it.
bool DebugPrivilegeOn(const bool* set = nullptr) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token))
    return false;
  PRIVILEGE_SET privileges = {1, PRIVILEGE_SET_ALL_NECESSARY, {}};
  LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privilege[0].Luid);
  if (set) {
    TOKEN_PRIVILEGES change = {1, {{privileges.Privilege[0].Luid, *set ? SE_PRIVILEGE_ENABLED : 0u}}};
    AdjustTokenPrivileges(token, FALSE, &change, 0, nullptr, nullptr);
  }
  BOOL on = FALSE;
  PrivilegeCheck(token, &privileges, &on);
  CloseHandle(token);
  return on != FALSE;
}
const bool kOff = false;

std::string SystemFolder() {
  char system[MAX_PATH];
  UINT n = GetSystemDirectoryA(system, sizeof system);
  return std::string(system, n);
}


class StopRestart : public ::testing::Test {
 protected:
  virtual DWORD Family() const = 0;

  void SetUp() override {
    ASSERT_EQ(PlatformFamily(), Family()) << "run under the wrong platform family";
    LoadDisplayDriver();
    // scripts/wine-run --net made the recording stand-in the system's net.exe.
    // The planted one: CreateProcessA would find it first, were it allowed
    // to search for net.exe.
    ASSERT_TRUE(FileExists(BinPath("net.exe")));
    dir_ = TempDir();
    netRecord_ = dir_ + "\\net.record";
    // Read by both net.exe stand-ins.
    SetEnvironmentVariableA("KX_NET_RECORD", netRecord_.c_str());
    module_ = LoadLibraryA(BinPath("webpause.dll").c_str());
    ASSERT_NE(module_, nullptr);
    shutdown_ = reinterpret_cast<NoArgument>(GetProcAddress(module_, "ShutdownService"));
    restart_ = reinterpret_cast<NoArgument>(GetProcAddress(module_, "?StartServiceA@@YGHXZ"));
    ASSERT_NE(shutdown_, nullptr);
    ASSERT_NE(restart_, nullptr);
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // The net.exe command lines started so far, once each has been recorded.
  std::string NetCommands(size_t expectedLines) {
    WaitFor([&] {
      std::string text = ReadFile(netRecord_);
      return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= expectedLines;
    }, 10000);
    return ReadFile(netRecord_);
  }

  std::string RestartFolder() { return SystemFolder() + "\\inetsrv"; }

  // The user takes time over the question; meanwhile the server asked about
  // ends, and another of the same name, whose window ignores WM_CLOSE, takes
  // its place. Only the new one may be stopped. Returns the boxes seen.
  std::vector<DialogAnswerer::Box> ServerReplacedWhileAsked(StandIn* replacement) {
    StandIn first;
    EXPECT_TRUE(first.Start(dir_, "inetinfo.exe", "window"));
    DialogAnswerer answers({IDYES}, [&](const DialogAnswerer::Box&) {
      first.Kill();
      replacement->Start(dir_, "inetinfo.exe", "stubborn");
    });
    EXPECT_EQ(shutdown_(), 1);
    EXPECT_TRUE(replacement->Running());
    EXPECT_TRUE(WaitFor([&] { return Contains(replacement->Record(), "WM_CLOSE\n"); }, 5000))
        << "the close request went to the window of the server that had ended";
    DWORD code = 0;
    EXPECT_FALSE(replacement->Ended(300, &code)) << "terminated with " << code;
    return answers.Seen();
  }

  // The windowless server asked about ends while the question is open: it
  // counts as stopped, and nothing is done about it.
  std::vector<DialogAnswerer::Box> ServerEndsWhileAsked() {
    StandIn server;
    EXPECT_TRUE(server.Start(dir_, "inetinfo.exe", "windowless"));
    DialogAnswerer answers({IDYES, IDOK}, [&](const DialogAnswerer::Box&) { server.Kill(); });
    EXPECT_EQ(shutdown_(), 1);
    Sleep(300);  // a box shown after the answer would have been seen by now
    return answers.Seen();
  }

  std::string dir_, netRecord_;
  HMODULE module_ = nullptr;
  NoArgument shutdown_ = nullptr;
  NoArgument restart_ = nullptr;
};

class Win9x : public StopRestart {
  DWORD Family() const override { return VER_PLATFORM_WIN32_WINDOWS; }
};
// Wine publishes no process object in its performance data; the process
// look-up on NT reads it from the stand-in provider of the process-table
// tests, registered here for each test.
constexpr char kPerfProviderKey[] = "System\\CurrentControlSet\\Services\\KxStandinPerf";

class Nt : public StopRestart {
  DWORD Family() const override { return VER_PLATFORM_WIN32_NT; }
  void SetUp() override {
    const std::string key = std::string(kPerfProviderKey) + "\\Performance";
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Library", BinPath("standin-perf-provider.dll"));
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Open", "StandinOpen");
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Collect", "StandinCollect");
    RegWriteSz(HKEY_LOCAL_MACHINE, key, "Close", "StandinClose");
    SetEnvironmentVariableA("KX_STANDIN_PERF_MODE", "");
    StopRestart::SetUp();
  }
  void TearDown() override {
    StopRestart::TearDown();
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kPerfProviderKey);
  }
};
class Unsupported : public StopRestart {
  DWORD Family() const override { return VER_PLATFORM_WIN32s; }
};
class Japanese : public StopRestart {
  DWORD Family() const override { return VER_PLATFORM_WIN32_WINDOWS; }
};

const std::string kCaption = webpause_texts::kEnglish[5];
const std::string kAsk = webpause_texts::kEnglish[1];
const std::string kInvalidOs = webpause_texts::kEnglish[2];
const std::string kCannotRestart = webpause_texts::kEnglish[4];
const std::string kServiceManager = webpause_texts::kEnglish[6];

// Exactly one box was shown, with the product's caption and this text.
void ExpectOnlyBox(DialogAnswerer& answers, const std::string& text) {
  std::vector<DialogAnswerer::Box> boxes = answers.Seen();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kCaption);
  EXPECT_EQ(boxes[0].text, text);
}

// --- Windows 95/98 ---------------------------------------------------------

TEST_F(Win9x, NothingRunningReturns1WithoutAQuestion) {
  DialogAnswerer answers({IDNO});
  EXPECT_EQ(shutdown_(), 1);
  EXPECT_TRUE(answers.Seen().empty());
  EXPECT_FALSE(FileExists(netRecord_));
}

TEST_F(Win9x, AnsweringNoLeavesTheServerAlone) {
  StandIn server;
  ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", "stubborn"));
  DialogAnswerer answers({IDNO});
  EXPECT_EQ(shutdown_(), 0);
  ExpectOnlyBox(answers, kAsk);
  DWORD code = 0;
  EXPECT_FALSE(server.Ended(300, &code));
  EXPECT_FALSE(Contains(server.Record(), "WM_CLOSE"));
}

// An installer that said nobody watches: no box, the answer it gave, each
// text in its log; WebServerStopped says whether the server was stopped.
TEST_F(Win9x, UnattendedTheAnswerGivenIsTakenAndOnlyAStopCountsAsStopped) {
  typedef int(__stdcall * Unattended)(int, const char*);
  auto unattended = reinterpret_cast<Unattended>(GetProcAddress(module_, "SetUnattended"));
  auto stopped = reinterpret_cast<NoArgument>(GetProcAddress(module_, "WebServerStopped"));
  ASSERT_TRUE(unattended && stopped);
  DialogAnswerer answers({IDYES, IDNO, IDOK});
  const std::string log = dir_ + "\\setup.log";
  EXPECT_EQ(stopped(), 0);
  StandIn server;
  ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", "windowless"));
  ASSERT_EQ(unattended(0, log.c_str()), 1);
  EXPECT_EQ(shutdown_(), 0);
  EXPECT_EQ(stopped(), 0);
  EXPECT_TRUE(server.Running());
  EXPECT_EQ(unattended(3, nullptr), 0);  // refused: the No stays
  EXPECT_EQ(shutdown_(), 0);
  ASSERT_EQ(unattended(1, log.c_str()), 1);
  EXPECT_EQ(shutdown_(), 1);
  EXPECT_EQ(stopped(), 1);
  DWORD code = 0;
  EXPECT_TRUE(server.Ended(5000, &code));
  EXPECT_EQ(shutdown_(), 1);  // nothing runs now
  EXPECT_EQ(stopped(), 0);
  DeleteFileA((RestartFolder() + "\\inetinfo.exe").c_str());
  EXPECT_EQ(restart_(), 0);  // no server to start: message 4
  Sleep(300);
  EXPECT_TRUE(answers.Seen().empty());
  const std::string line = kCaption + ": " + kAsk + " -> ";
  EXPECT_EQ(ReadFile(log), line + "No\r\n" + line + "No\r\n" + line + "Yes\r\n" + kCaption +
                               ": " + kCannotRestart + " -> OK\r\n");
}

TEST_F(Win9x, AServerWithAWindowGetsWmCloseAndIsNeverTerminated) {
  StandIn server;
  ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", "stubborn"));  // ignores WM_CLOSE
  DialogAnswerer answers({IDYES});
  EXPECT_EQ(shutdown_(), 1);
  EXPECT_EQ(answers.Seen().size(), 1u);
  EXPECT_TRUE(WaitFor([&] { return Contains(server.Record(), "WM_CLOSE\n"); }, 5000))
      << server.Record();
  DWORD code = 0;
  EXPECT_FALSE(server.Ended(500, &code)) << "terminated with " << code;

  // One that honours WM_CLOSE ends on its own, not by termination.
  server.Kill();
  StandIn polite;
  ASSERT_TRUE(polite.Start(dir_, "inetinfo.exe", "window"));
  EXPECT_EQ(shutdown_(), 1);
  ASSERT_TRUE(polite.Ended(5000, &code));
  EXPECT_EQ(code, 0u);
}

TEST_F(Win9x, AWindowlessServerIsTerminated) {
  StandIn server;
  ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", "windowless"));
  DialogAnswerer answers({IDYES});
  EXPECT_EQ(shutdown_(), 1);
  DWORD code = 0;
  ASSERT_TRUE(server.Ended(5000, &code));
  EXPECT_EQ(code, 1u);  // TerminateProcess's exit code
  EXPECT_EQ(answers.Seen().size(), 1u);
  EXPECT_FALSE(FileExists(netRecord_));  // no net.exe on 95/98
}

TEST_F(Win9x, Inetsw95IsStoppedOnlyWhenInetinfoIsNotRunning) {
  StandIn inetinfo, inetsw95;
  ASSERT_TRUE(inetinfo.Start(dir_, "inetinfo.exe", "windowless"));
  ASSERT_TRUE(inetsw95.Start(dir_, "inetsw95.exe", "windowless"));
  DialogAnswerer answers({IDYES});
  EXPECT_EQ(shutdown_(), 1);
  DWORD code = 0;
  EXPECT_TRUE(inetinfo.Ended(5000, &code));
  EXPECT_TRUE(inetsw95.Running());

  EXPECT_EQ(shutdown_(), 1);  // now inetsw95.exe is the web server
  EXPECT_TRUE(inetsw95.Ended(5000, &code));
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(answers.Seen().size(), 2u);
}

TEST_F(Win9x, OnlyTheServerRunningAfterTheQuestionIsStopped) {
  StandIn replacement;
  std::vector<DialogAnswerer::Box> boxes = ServerReplacedWhileAsked(&replacement);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kAsk);

  // Otherwise the look-ups below would find it still running.
  replacement.Kill();
  boxes = ServerEndsWhileAsked();
  ASSERT_EQ(boxes.size(), 1u) << "no message about a server that is gone: " << boxes.back().text;
  EXPECT_FALSE(FileExists(netRecord_));

  // Gone by the answer, and the personal web server started meanwhile: the
  // look-up after the answer finds that one, and it is the one stopped.
  StandIn gone, personal;
  ASSERT_TRUE(gone.Start(dir_, "inetinfo.exe", "windowless"));
  DialogAnswerer again({IDYES}, [&](const DialogAnswerer::Box&) {
    gone.Kill();
    personal.Start(dir_, "inetsw95.exe", "windowless");
  });
  EXPECT_EQ(shutdown_(), 1);
  DWORD code = 0;
  EXPECT_TRUE(personal.Ended(5000, &code)) << "the server running after the question was left";
  EXPECT_EQ(code, 1u);
}

TEST_F(Win9x, ARunningServiceManagerEndsItAllWithMessage6) {
  StandIn smon, server;
  ASSERT_TRUE(smon.Start(dir_, "smon.exe", "windowless"));
  ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", "windowless"));
  DialogAnswerer answers({IDOK});
  EXPECT_EQ(shutdown_(), 0);
  ExpectOnlyBox(answers, kServiceManager);  // no question about the web server
  EXPECT_TRUE(smon.Running());
  EXPECT_TRUE(server.Running());
  EXPECT_FALSE(FileExists(netRecord_));
}

TEST_F(Win9x, RestartStartsTheServerFromTheSystemFolderAndReturnsOnceItRuns) {
  const std::string folder = RestartFolder();
  ASSERT_TRUE(MakeDirs(folder));
  ASSERT_TRUE(CopyTo(StandinPath("standin_webserver.exe"), folder + "\\inetinfo.exe"));
  const std::string record = dir_ + "\\restarted.record";
  SetEnvironmentVariableA("KX_WEBSERVER_RECORD", record.c_str());
  DialogAnswerer answers({IDOK});
  DWORD begin = GetTickCount();
  EXPECT_EQ(restart_(), 1);
  DWORD elapsed = GetTickCount() - begin;
  EXPECT_LT(elapsed, 8000u) << "did not notice the server";
  // Listed as running a moment before it gets to write its record.
  EXPECT_TRUE(WaitFor([&] { return Contains(ReadFile(record), "ready\n"); }, kReadyMs));
  EXPECT_TRUE(Contains(ReadFile(record), "start \"" + folder + "\\inetinfo.exe\" -e w3svc\n"))
      << ReadFile(record);
  EXPECT_TRUE(answers.Seen().empty());
  KillRecorded(record);
  EXPECT_TRUE(DeleteFileA((folder + "\\inetinfo.exe").c_str()));
}

TEST_F(Win9x, ARestartThatCantStartShowsMessage4) {
  DeleteFileA((RestartFolder() + "\\inetinfo.exe").c_str());
  ASSERT_FALSE(FileExists(RestartFolder() + "\\inetinfo.exe"));
  DialogAnswerer answers({IDOK});
  EXPECT_EQ(restart_(), 0);
  ExpectOnlyBox(answers, kCannotRestart);
}

// --- Windows NT ------------------------------------------------------------

TEST_F(Nt, NothingRunningStartsNoCommand) {
  DialogAnswerer answers({IDNO});
  EXPECT_EQ(shutdown_(), 1);
  EXPECT_TRUE(answers.Seen().empty());
  Sleep(300);  // a net.exe started anyway would have recorded by now
  EXPECT_FALSE(FileExists(netRecord_));
}

// The system's own net.exe, named by its full path (Wine's system folder
// holds no blank, so it is not quoted).
const std::string kNet = SystemFolder() + "\\net.exe";
const std::string kNetStopServiceManager = kNet + " stop \"Servana Service Manager\"\n";
const std::string kNetStopWebServer = kNet + " stop \"World Wide Web Publishing Service\"\n";

TEST_F(Nt, TheServiceManagerIsStoppedThroughNetEvenWhenTheUserDeclines) {
  StandIn smon, server;
  ASSERT_TRUE(smon.Start(dir_, "smon.exe", "windowless"));
  ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", "windowless"));
  // The caller's debug privilege is off before, and off again after each
  // call: the programs an installer starts later inherit its token.
  ASSERT_FALSE(DebugPrivilegeOn(&kOff));
  DialogAnswerer answers({IDNO, IDYES});
  EXPECT_EQ(shutdown_(), 0);
  EXPECT_FALSE(DebugPrivilegeOn());
  EXPECT_EQ(NetCommands(1), kNetStopServiceManager);
  EXPECT_TRUE(server.Running());
  EXPECT_TRUE(smon.Running());  // only net.exe would stop it

  EXPECT_EQ(shutdown_(), 1);
  EXPECT_FALSE(DebugPrivilegeOn()) << "after the termination";
  DWORD code = 0;
  EXPECT_TRUE(server.Ended(5000, &code));
  EXPECT_EQ(code, 1u);
  std::string commands = NetCommands(3);
  EXPECT_EQ(commands.substr(0, kNetStopServiceManager.size()), kNetStopServiceManager);
  // The second round's two commands run at the same time: either order.
  std::string second = commands.substr(kNetStopServiceManager.size());
  EXPECT_TRUE(second == kNetStopServiceManager + kNetStopWebServer ||
              second == kNetStopWebServer + kNetStopServiceManager)
      << commands;
  ASSERT_EQ(answers.Seen().size(), 2u);
  EXPECT_EQ(answers.Seen()[1].text, kAsk);
}

TEST_F(Nt, OnlyTheServiceManagerRunningIsStoppedWithoutAQuestion) {
  StandIn smon;
  ASSERT_TRUE(smon.Start(dir_, "smon.exe", "windowless"));
  // A net.exe planted in the current folder, too, where CreateProcessA would
  // look second.
  ASSERT_TRUE(CopyTo(BinPath("net.exe"), dir_ + "\\net.exe"));
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  SetCurrentDirectoryA(dir_.c_str());
  DialogAnswerer answers({IDNO});
  EXPECT_EQ(shutdown_(), 1);
  SetCurrentDirectoryA(previous);
  // Only the system's own ran: a planted one would have recorded "planted".
  EXPECT_EQ(NetCommands(1), kNetStopServiceManager);
  Sleep(300);
  EXPECT_FALSE(Contains(ReadFile(netRecord_), "planted")) << ReadFile(netRecord_);
  EXPECT_TRUE(answers.Seen().empty());
}

TEST_F(Nt, OnlyTheServerRunningAfterTheQuestionIsStopped) {
  StandIn replacement;
  std::vector<DialogAnswerer::Box> boxes = ServerReplacedWhileAsked(&replacement);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kAsk);
  EXPECT_EQ(NetCommands(1), kNetStopWebServer);

  // Gone by the answer: stopped, so not even the service is asked to stop.
  replacement.Kill();
  DeleteFileA(netRecord_.c_str());
  boxes = ServerEndsWhileAsked();
  ASSERT_EQ(boxes.size(), 1u) << "no message about a server that is gone: " << boxes.back().text;
  Sleep(300);  // a net.exe started anyway would have recorded by now
  EXPECT_FALSE(FileExists(netRecord_)) << ReadFile(netRecord_);
}

TEST_F(Nt, AServerWeMayNotOpenIsReportedWithMessage3OrItsWindowAskedToClose) {
  for (const char* mode : {"guarded", "guarded-window"}) {
    const bool windowed = strcmp(mode, "guarded") != 0;
    StandIn server;
    ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", mode));
    DialogAnswerer answers({IDYES, IDOK});
    EXPECT_EQ(shutdown_(), 1);
    std::vector<DialogAnswerer::Box> boxes = answers.Seen();
    ASSERT_EQ(boxes.size(), windowed ? 1u : 2u) << mode;
    if (!windowed) EXPECT_EQ(boxes[1].text, webpause_texts::kEnglish[3]);
    DWORD code = 0;
    EXPECT_EQ(server.Ended(2000, &code), windowed) << mode;
    EXPECT_EQ(Contains(server.Record(), "WM_CLOSE\n"), windowed) << mode;
  }
}

TEST_F(Nt, RestartRunsNetStartAndStopsWaitingAfterTenSeconds) {
  DialogAnswerer answers({IDOK});
  ASSERT_FALSE(DebugPrivilegeOn(&kOff));
  DWORD begin = GetTickCount();
  EXPECT_EQ(restart_(), 1);  // the stand-in net.exe starts no server
  DWORD elapsed = GetTickCount() - begin;
  EXPECT_FALSE(DebugPrivilegeOn()) << "after the look-ups";
  EXPECT_GE(elapsed, kRestartPollMs - 50);
  EXPECT_LT(elapsed, kRestartPollMs + 8000);
  EXPECT_EQ(NetCommands(1), kNet + " start \"World Wide Web Publishing Service\"\n");
  EXPECT_TRUE(answers.Seen().empty());
}

// --- an unsupported platform family ------------------------------------------

TEST_F(Unsupported, BothOperationsRefuseWithMessage2) {
  DialogAnswerer answers({IDOK});
  EXPECT_EQ(shutdown_(), 0);
  EXPECT_EQ(restart_(), 0);
  std::vector<DialogAnswerer::Box> boxes = answers.Seen();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].text, kInvalidOs);       // from the look-up of smon.exe
  EXPECT_EQ(boxes[1].text, kServiceManager);  // taken as running
  EXPECT_EQ(boxes[2].text, kInvalidOs);       // the restart
  EXPECT_EQ(boxes[2].caption, kCaption);
  EXPECT_FALSE(FileExists(netRecord_));
}

// --- Japanese ---------------------------------------------------------------

TEST_F(Japanese, TheBoxesShowTheJapaneseTable) {
  // Wine's Japanese locale: ANSI and OEM are both code page 932, so the
  // ANSI-to-OEM step leaves the texts as they are.
  EXPECT_EQ(GetACP(), 932u);
  EXPECT_EQ(GetOEMCP(), 932u);
  StandIn server;
  ASSERT_TRUE(server.Start(dir_, "inetinfo.exe", "windowless"));
  ASSERT_FALSE(FileExists(RestartFolder() + "\\inetinfo.exe"));  // so the restart fails
  DialogAnswerer answers({IDNO, IDOK});
  EXPECT_EQ(shutdown_(), 0);
  EXPECT_EQ(restart_(), 0);
  StandIn smon;
  ASSERT_TRUE(smon.Start(dir_, "smon.exe", "windowless"));
  EXPECT_EQ(shutdown_(), 0);

  std::vector<DialogAnswerer::Box> boxes = answers.Seen();
  ASSERT_EQ(boxes.size(), 3u);
  EXPECT_EQ(boxes[0].caption, Ansi(webpause_texts::kJapanese[5]));
  EXPECT_EQ(boxes[0].text, Ansi(webpause_texts::kJapanese[1]));
  EXPECT_EQ(boxes[1].text, Ansi(webpause_texts::kJapanese[4]));
  EXPECT_EQ(boxes[2].text, kServiceManager);  // English in both tables
  EXPECT_TRUE(server.Running());
}

}  // namespace
