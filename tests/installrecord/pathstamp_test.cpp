// Runs the real pathstamp.exe from a drive's root and from a deep folder and
// reads what it recorded, as the launcher and the uninstaller would.
#include <gtest/gtest.h>

#include "installrecord.h"
#include "kxtest.h"

using namespace kxtest;

namespace {

struct Record {
  std::string installPath, currentVersion, javaHome, microVersion, runtimeLib;
};

Record ReadRecord() {
  Record r;
  DWORD type = 0;
  auto get = [&](const char* key, const char* value, std::string* out) {
    if (!RegRead(HKEY_LOCAL_MACHINE, key, value, out, &type)) *out = "<absent>";
    else EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << value;
  };
  get(KX_INSTALLATION_KEY, "InstallPath", &r.installPath);
  get(KX_JRE_KEY, "CurrentVersion", &r.currentVersion);
  get(KX_JRE_VERSION_KEY, "JavaHome", &r.javaHome);
  get(KX_JRE_VERSION_KEY, "MicroVersion", &r.microVersion);
  get(KX_JRE_VERSION_KEY, "RuntimeLib", &r.runtimeLib);
  return r;
}

void Forget() {
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Veltrana");
}

void RunPathstampFrom(const std::string& folder, DWORD expectedStatus = 0,
                      const std::string& name = "pathstamp.exe") {
  ASSERT_TRUE(MakeDirs(folder));
  // Only a drive's root ("R:\") ends in a backslash; 表 ends in a 0x5C byte.
  std::string exe = folder + (folder.size() == 3 ? "" : "\\") + name;
  ASSERT_TRUE(CopyTo(BinPath("pathstamp.exe"), exe)) << exe;
  RunResult run = Run("\"" + exe + "\"", folder);
  ASSERT_TRUE(run.started);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, expectedStatus) << exe;
}

TEST(Pathstamp, CleanMachineGetsAllFiveValuesAndASecondRunChangesNothing) {
  Forget();
  EXPECT_EQ(ReadRecord().installPath, "<absent>");
  const std::string dir = "C:\\Program Files\\Veltrana\\Kestrix 2.0";
  RunPathstampFrom(dir);
  Record first = ReadRecord();
  EXPECT_EQ(first.installPath, dir);
  EXPECT_EQ(first.currentVersion, "1.2");
  EXPECT_EQ(first.javaHome, dir + "\\jre");
  EXPECT_EQ(first.microVersion, "2");
  EXPECT_EQ(first.runtimeLib, dir + "\\jre\\bin\\classic\\jvm.dll");

  RunPathstampFrom(dir);
  Record second = ReadRecord();
  EXPECT_EQ(second.installPath, first.installPath);
  EXPECT_EQ(second.javaHome, first.javaHome);
  EXPECT_EQ(second.runtimeLib, first.runtimeLib);
}

TEST(Pathstamp, DriveRootKeepsOneBackslashAndJavaHomeGetsTwo) {
  Forget();
  const std::string root = Env("KX_ROOTDRIVE") + "\\";
  RunPathstampFrom(root);
  Record r = ReadRecord();
  EXPECT_EQ(r.installPath, root);
  EXPECT_EQ(r.javaHome, root + "\\jre");
  EXPECT_EQ(r.runtimeLib, root + "\\jre\\bin\\classic\\jvm.dll");
}

TEST(Pathstamp, OverwritesAnOlderRecordAndKeepsOtherValues) {
  Forget();
  RegWriteSz(HKEY_LOCAL_MACHINE, KX_INSTALLATION_KEY, "InstallPath", "C:\\old");
  RegWriteSz(HKEY_LOCAL_MACHINE, KX_INSTALLATION_KEY, "online", "true");
  const std::string dir = "C:\\a\\much\\deeper\\installation\\folder";
  RunPathstampFrom(dir);
  Record r = ReadRecord();
  EXPECT_EQ(r.installPath, dir);
  std::string online;
  EXPECT_TRUE(RegRead(HKEY_LOCAL_MACHINE, KX_INSTALLATION_KEY, "online", &online));
  EXPECT_EQ(online, "true");
}

TEST(Pathstamp, RootTooLongForTheLauncherIsNotRecordedAndTheStatusIsOne) {
  for (size_t length : {235u, 236u}) {
    SCOPED_TRACE(length);
    Forget();
    const std::string root = "C:\\kx" + std::string(length - 5, 'k');
    const bool fits = length <= 235;
    RunPathstampFrom(root, fits ? 0 : 1);
    Record r = ReadRecord();
    EXPECT_EQ(r.installPath, fits ? root : "<absent>");
    EXPECT_EQ(r.currentVersion, fits ? "1.2" : "<absent>");
  }
}

// Run as Japanese Windows: ソ and 表 end in a backslash byte in code page 932.
TEST(Pathstamp, JapaneseNamesAreCutBetweenCharacters) {
  if (GetACP() != 932) GTEST_SKIP() << "ANSI code page " << GetACP();
  Forget();
  const std::string dir = "C:\\\x83\x5C\x83\x74\x83\x67\x95\x5C";  // C:\ソフト表
  RunPathstampFrom(dir, 0, "\x83\x5A\x83\x62\x83\x67\x83\x41\x83\x62\x83\x76\x95\x5C.exe");
  Record r = ReadRecord();
  EXPECT_EQ(r.installPath, dir);
  EXPECT_EQ(r.runtimeLib, dir + "\\jre\\bin\\classic\\jvm.dll");
}

TEST(Pathstamp, UnderAVolatileKeyNothingIsRecordedAndTheStatusIsOne) {
  Forget();  // no lasting key can be created under a volatile one
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Veltrana", 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
  RegCloseKey(key);
  RunPathstampFrom("C:\\Program Files\\Veltrana\\Kestrix 2.0", 1);
  Record r = ReadRecord();
  for (const std::string& v : {r.installPath, r.currentVersion, r.javaHome, r.microVersion,
                               r.runtimeLib})
    EXPECT_EQ(v, "<absent>");
  Forget();
}

}  // namespace
