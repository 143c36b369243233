// UninstInitialize on Windows 95/98 without any dialogue: the online flag,
// the filter-list shapes and the roads on which the list must stay as it was.
// With nothing running, ShutdownService has nothing to stop and says yes.
#include "hook_fixture.h"

using namespace kxtest;
using namespace tearhook_test;

namespace {

class Uninstall : public HookTest {};

TEST_F(Uninstall, OnlineFlagCountsWhenTrueLeadsAfterControlBytes) {
  // A list of unknown content: a set flag makes the hook give up with -1
  // before anything else, an unset one returns 0 at once.
  SetListExact(REG_EXPAND_SZ, std::string("a.dll,servana.dll\0", 18));
  const RawValue list = ReadRaw(kFilterKey, kFilterValue);
  struct Case {
    const char* text;
    LONG result;
  };
  for (Case c : {Case{"", 0}, Case{" true", 0}, Case{"tru", 0}, Case{"false", 0},
                 Case{"TRUE", -1}, Case{"tRuE", -1}, Case{"\ttrue", -1}, Case{"true\r\n", -1},
                 Case{"trueish", -1}}) {
    SetOnline(c.text);
    EXPECT_EQ(Init(), c.result) << "online=\"" << c.text << "\"";
  }
  RegDeleteValue(HKEY_LOCAL_MACHINE, kInstallationKey, "online");
  EXPECT_EQ(Init(), 0) << "online absent";
  const char expand[] = "true";
  RegWrite(HKEY_LOCAL_MACHINE, kInstallationKey, "online", REG_EXPAND_SZ, expand, sizeof expand);
  EXPECT_EQ(Init(), 0) << "online as REG_EXPAND_SZ";
  EXPECT_EQ(ReadRaw(kFilterKey, kFilterValue).bytes, list.bytes);  // nothing written on any road
}

TEST_F(Uninstall, FlagNotSetTouchesNothing) {
  SetOnline("no");
  SetList("a.dll,C:\\Servana\\servana.dll");
  std::string record = Install(dir_ + "\\Kestrix");
  HANDLE server = StartRunning(dir_ + "\\w3", "inetinfo.exe");
  DWORD elapsed = 0;
  EXPECT_EQ(Init(&elapsed), 0);
  EXPECT_EQ(List(), "a.dll,C:\\Servana\\servana.dll");
  EXPECT_TRUE(Running(server));
  EXPECT_EQ(Record(record), "");
  EXPECT_LT(elapsed, kPauseMs);
}

TEST_F(Uninstall, WritesTheListBackWithoutTheEngineEntriesWhateverItsShape) {
  SetOnline("true");
  struct Case {
    const char* before;
    const char* after;
  };
  for (Case c : {Case{"C:\\Servana\\bin\\servana.dll", ""},
                 Case{"C:\\w3\\sspifilt.dll,C:\\Servana\\servana.dll,C:\\w3\\compress.dll",
                      "C:\\w3\\sspifilt.dll,C:\\w3\\compress.dll"},
                 Case{",a.dll,servana.dll", "a.dll"},
                 Case{"a.dll, servana.dll, b.dll", "a.dll, b.dll"},
                 Case{"a.dll,,b.dll,servana.dll,", "a.dll,,b.dll,"},
                 Case{"C:\\S\\SERVANA.DLL,a.dll", "C:\\S\\SERVANA.DLL,a.dll"},
                 Case{"", ""}}) {
    SetList(c.before);
    DWORD elapsed = 0;
    EXPECT_EQ(Init(&elapsed), 0) << c.before;
    EXPECT_EQ(List(), c.after) << c.before;
    EXPECT_LT(elapsed, kPauseMs) << "no InstallPath, so no pause";
  }
  // Written back even when nothing was dropped. What follows the first NUL
  // is written back too, but the 95/98 registry keeps a REG_SZ only up to
  // its first NUL: the list comes back with exactly one terminator.
  SetListExact(REG_SZ, std::string("a.dll,b.dll\0\0\0", 14));
  ASSERT_EQ(ReadRaw(kFilterKey, kFilterValue).bytes.size(), 14u);
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(List(), "a.dll,b.dll");
  SetListExact(REG_SZ, std::string("a.dll,servana.dll\0\0\0", 20));
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(List(), "a.dll");
  // Text after the first NUL is not the web server's list: the visible list
  // is edited all the same.
  SetListExact(REG_SZ, std::string("a.dll,servana.dll\0b.dll\0", 24));
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(List(), "a.dll");
}

TEST_F(Uninstall, MissingListIsNothingToRemoveYetTheServersStopAndTheServiceGoes) {
  // The web server was removed first: no Parameters key, or no list in it.
  SetOnline("true");
  Install(dir_ + "\\Kestrix");
  HANDLE server = StartRunning(dir_ + "\\w3", "inetinfo.exe");
  DialogAnswerer boxes({IDNO, IDYES});
  EXPECT_EQ(Init(), -1) << "declined";
  EXPECT_TRUE(Running(server));
  DWORD elapsed = 0;
  EXPECT_EQ(Init(&elapsed), 0) << "no Parameters key";
  EXPECT_EQ(WaitForSingleObject(server, 5000), WAIT_OBJECT_0);
  EXPECT_GE(elapsed, kPauseMs - kPauseSlackMs) << "the service manager's removal pauses";
  HKEY key;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFilterKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  RegWriteSz(HKEY_LOCAL_MACHINE, kFilterKey, "Other", "x");
  EXPECT_EQ(Init(), 0) << "no Filter DLLs value";
  EXPECT_EQ(List(), kAbsent);
  EXPECT_EQ(boxes.Seen().size(), 2u);
}

TEST_F(Uninstall, ListOfAnotherTypeGivesMinusOneAndNeitherStopsNorWrites) {
  SetOnline("true");
  std::string record = Install(dir_ + "\\Kestrix");
  // A running web server would be stopped, and the user asked first, if
  // ShutdownService were called.
  HANDLE server = StartRunning(dir_ + "\\w3", "inetinfo.exe");
  DialogAnswerer boxes({IDYES});

  for (DWORD type : {static_cast<DWORD>(REG_EXPAND_SZ), static_cast<DWORD>(REG_MULTI_SZ),
                     static_cast<DWORD>(REG_BINARY)}) {
    SetListExact(type, std::string("a.dll,servana.dll\0", 18));
    RawValue before = ReadRaw(kFilterKey, kFilterValue);
    EXPECT_EQ(Init(), -1) << "type " << type;
    RawValue after = ReadRaw(kFilterKey, kFilterValue);
    EXPECT_EQ(after.type, type);
    EXPECT_EQ(after.bytes, before.bytes);
  }

  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_TRUE(Running(server));
  EXPECT_EQ(Record(record), "");
  EXPECT_EQ(UnInit(), 0);
}

TEST_F(Uninstall, InstallPathOfAnyLengthStillPausesOn9x) {
  SetOnline("true");
  SetList("a.dll,servana.dll");
  // 600 characters: far too long for the NT removal command, which 95/98
  // never forms.
  std::string root, path;
  LongSpelling(600, &root, &path);
  std::string record = Install(root, path);
  DWORD elapsed = 0;
  EXPECT_EQ(Init(&elapsed), 0);
  EXPECT_EQ(List(), "a.dll");
  EXPECT_GE(elapsed, kPauseMs - kPauseSlackMs);
  EXPECT_EQ(Record(record), "");
}

}  // namespace
