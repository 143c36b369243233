// UninstInitialize on Windows 95/98 with the user in the loop (Xvfb): the
// web server question, and message 6 about the service manager, which can't
// be removed there.
#include <functional>

#include "hook_fixture.h"
#include "tearhook_texts.h"

using namespace kxtest;
using namespace tearhook_test;

namespace {

// Text `id` of the table as a box shows it to this process: the Japanese one
// under a Japanese user interface, in the ANSI code page.
std::string Shown(int id) {
  bool japanese = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE;
  const char* utf8 = japanese ? kJapaneseTexts[id] : kEnglishTexts[id];
  WCHAR wide[1024];
  char ansi[2048];
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 1024);
  WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
  return ansi;
}

// Like kxtest::DialogAnswerer, but a script decides each answer on the
// watcher thread and may act before it (the script must not use test
// assertions: they are not thread-safe here).
class ScriptedBoxes {
 public:
  typedef std::function<int(const DialogAnswerer::Box&)> Script;
  explicit ScriptedBoxes(Script script) : script_(std::move(script)) {
    thread_ = CreateThread(nullptr, 0, Thread, this, 0, nullptr);
  }
  ~ScriptedBoxes() { Stop(); }
  // Stops watching and gives every box seen.
  std::vector<DialogAnswerer::Box> Stop() {
    if (thread_) {
      InterlockedExchange(&stop_, 1);
      WaitForSingleObject(thread_, 10000);
      CloseHandle(thread_);
      thread_ = nullptr;
    }
    return seen_;
  }

 private:
  static BOOL CALLBACK Find(HWND window, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || strcmp(cls, "#32770") != 0 || !IsWindowVisible(window))
      return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  static DWORD WINAPI Thread(void* param) {
    auto* self = static_cast<ScriptedBoxes*>(param);
    HWND last = nullptr;
    while (!self->stop_) {
      HWND box = nullptr;
      EnumWindows(Find, reinterpret_cast<LPARAM>(&box));
      if (box && box != last) {
        char text[2048] = {};
        DialogAnswerer::Box seen;
        GetWindowTextA(box, text, sizeof text);
        seen.caption = text;
        text[0] = '\0';
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        seen.text = text;
        self->seen_.push_back(seen);
        int answer = self->script_(seen);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
        last = box;
      }
      Sleep(50);
    }
    return 0;
  }
  Script script_;
  std::vector<DialogAnswerer::Box> seen_;  // read only after the thread ended
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
};

class Dialogs : public HookTest {};

TEST_F(Dialogs, DecliningTheWebServerStopLeavesListAndServiceManagerAlone) {
  SetOnline("true");
  SetList("a.dll,C:\\Servana\\servana.dll");
  std::string record = Install(dir_ + "\\Kestrix");
  HANDLE server = StartRunning(dir_ + "\\w3", "inetinfo.exe");
  ASSERT_NE(server, nullptr);
  // Run under a Japanese locale too: the Japanese table must be the one shown.
  if (Env("LC_ALL").rfind("ja", 0) == 0) {
    ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_JAPANESE);
  }
  DialogAnswerer boxes({IDNO});
  EXPECT_EQ(Init(), -1);
  std::vector<DialogAnswerer::Box> seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, Shown(5));
  EXPECT_EQ(seen[0].text, Shown(1));
  EXPECT_EQ(List(), "a.dll,C:\\Servana\\servana.dll");
  EXPECT_TRUE(Running(server));
  EXPECT_EQ(Record(record), "") << "the removal must not start";
  EXPECT_EQ(UnInit(), 0);
}

TEST_F(Dialogs, ServiceManagerRunningBeforehandStopsTheHookWithMessage6) {
  SetOnline("true");
  SetList("a.dll,servana.dll");
  std::string record = Install(dir_ + "\\Kestrix");
  HANDLE server = StartRunning(dir_ + "\\w3", "inetinfo.exe");
  HANDLE smon = StartRunning(dir_ + "\\Servana", "smon.exe");
  ASSERT_TRUE(server && smon);
  DialogAnswerer boxes({IDOK});
  EXPECT_EQ(Init(), -1);
  std::vector<DialogAnswerer::Box> seen = boxes.Seen();
  ASSERT_EQ(seen.size(), 1u);  // no question about the web server
  EXPECT_EQ(seen[0].caption, Shown(5));
  EXPECT_EQ(seen[0].text, Shown(6));
  EXPECT_EQ(List(), "a.dll,servana.dll");
  EXPECT_TRUE(Running(server));
  EXPECT_EQ(Record(record), "");
}

TEST_F(Dialogs, RemovalIsNeverStartedAndMessage6ShowsOnlyWhileTheServiceManagerRuns) {
  SetOnline("true");
  std::string record = Install(dir_ + "\\Kestrix");

  // Nothing running: no box and no command, but the pause all the same.
  SetList("servana.dll,a.dll");
  DWORD elapsed = 0;
  {
    DialogAnswerer boxes({IDOK});
    EXPECT_EQ(Init(&elapsed), 0);
    EXPECT_TRUE(boxes.Seen().empty());
  }
  EXPECT_GE(elapsed, kPauseMs - kPauseSlackMs);
  EXPECT_EQ(List(), "a.dll");

  // The service manager comes up while the user is asked about the web
  // server: the hook finds it afterwards and says so with message 6. A
  // filter added to the list meanwhile stays in it.
  SetList("a.dll,servana.dll,b.dll");
  HANDLE server = StartRunning(dir_ + "\\w3", "inetinfo.exe");
  ASSERT_NE(server, nullptr);
  HANDLE smon = nullptr;
  const std::string question = Shown(1);
  ScriptedBoxes boxes([&](const DialogAnswerer::Box& box) {
    if (box.text != question) return IDOK;
    smon = StartRunning(dir_ + "\\Servana", "smon.exe");
    SetList("a.dll,servana.dll,b.dll,C:\\added.dll");
    return IDYES;
  });
  EXPECT_EQ(Init(&elapsed), 0);
  std::vector<DialogAnswerer::Box> seen = boxes.Stop();
  ASSERT_NE(smon, nullptr);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, Shown(1));
  EXPECT_EQ(seen[1].caption, Shown(5));
  EXPECT_EQ(seen[1].text, Shown(6));
  EXPECT_GE(elapsed, kPauseMs - kPauseSlackMs);
  EXPECT_EQ(List(), "a.dll,b.dll,C:\\added.dll");
  // The windowless web server was terminated with exit code 1.
  ASSERT_EQ(WaitForSingleObject(server, 5000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeProcess(server, &code);
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(Record(record), "") << "no removal command on Windows 95/98";

  // The same with an InstallPath far too long for the NT removal command:
  // 95/98 forms none, so the warning and the pause stay.
  ASSERT_EQ(TerminateProcess(smon, 255), TRUE);
  ASSERT_EQ(WaitForSingleObject(smon, 5000), WAIT_OBJECT_0);
  std::string root, path;
  LongSpelling(700, &root, &path);
  record = Install(root, path);
  SetList("a.dll,servana.dll");
  server = StartRunning(dir_ + "\\w3", "inetinfo.exe");
  ASSERT_NE(server, nullptr);
  ScriptedBoxes again([&](const DialogAnswerer::Box& box) {
    if (box.text == question) smon = StartRunning(dir_ + "\\Servana", "smon.exe");
    return box.text == question ? IDYES : IDOK;
  });
  EXPECT_EQ(Init(&elapsed), 0);
  seen = again.Stop();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].text, Shown(6));
  EXPECT_GE(elapsed, kPauseMs - kPauseSlackMs);
  EXPECT_EQ(List(), "a.dll");
  EXPECT_EQ(Record(record), "");
}

}  // namespace
