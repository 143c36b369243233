// UninstInitialize on Windows NT: the service manager's removal command is
// started hidden from the installation's bin folder, and the hook pauses
// after it; the filter list keeps what follows its first NUL. Nothing runs,
// so ShutdownService has nothing to stop.
#include "hook_fixture.h"

using namespace kxtest;
using namespace tearhook_test;

namespace {

ULONGLONG Now() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

class NtRemoval : public HookTest {};

TEST_F(NtRemoval, StartsTheLongestRemovalCommandThatFitsAndNoCutOne) {
  SetOnline("true");
  SetList("C:\\w3\\sspifilt.dll,C:\\Servana\\bin\\servana.dll");
  // InstallPath spelled with 480 characters: the quoted command takes 511
  // bytes and its terminator the 512th.
  std::string root, path;
  LongSpelling(480, &root, &path);
  std::string record = Install(root, path);
  EXPECT_EQ(Init(), 0);
  ULONGLONG returned = Now();
  EXPECT_EQ(List(), "C:\\w3\\sspifilt.dll");

  const std::string command = "\"" + path + "\\bin\\smon.exe\" -r smon-default";
  ASSERT_EQ(command.size(), 511u);
  std::string r = Record(record);
  EXPECT_EQ(Count(r, "command "), 1u) << r;
  EXPECT_NE(r.find("command " + command + "\n"), std::string::npos) << r;
  EXPECT_NE(r.find("flags 41\n"), std::string::npos) << r;  // USESHOWWINDOW | FORCEONFEEDBACK
  EXPECT_NE(r.find("show 0\n"), std::string::npos) << r;    // SW_HIDE
  EXPECT_NE(r.find("title " + command + "\n"), std::string::npos) << r;
  // The hook returned well after the command had started: it paused. (The
  // margin allows for a slow process start on a loaded machine.)
  size_t at = r.find("started ");
  ASSERT_NE(at, std::string::npos);
  ULONGLONG started = _strtoui64(r.c_str() + at + 8, nullptr, 10);
  EXPECT_GT(static_cast<LONGLONG>(returned - started), 5000000LL) << "less than 0.5 s";

  // One character more: the command would be cut to "... -r smon-defaul",
  // which the stand-in would run. Nothing is started instead.
  DeleteFileA(record.c_str());
  SetList("a.dll,servana.dll");
  std::string longer;
  LongSpelling(481, &root, &longer);
  record = Install(root, longer);
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(List(), "a.dll");
  Sleep(500);
  EXPECT_EQ(Record(record), "");
}

TEST_F(NtRemoval, AnInstallPathWithABlankStartsNoProgramNamedByItsFirstWord) {
  // Unquoted, CreateProcessA would try "<dir>\Program.exe" first and hand it
  // the rest of the line.
  SetOnline("true");
  SetList("a.dll,servana.dll");
  const std::string root = dir_ + "\\Program Files\\Veltrana\\Kestrix 2.0";
  std::string record = Install(root);
  const std::string planted = dir_ + "\\Program.exe";
  ASSERT_TRUE(CopyTo(BinPath(kStandIn), planted));
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(List(), "a.dll");
  std::string r = Record(record);
  EXPECT_NE(r.find("command \"" + root + "\\bin\\smon.exe\" -r smon-default\n"), std::string::npos)
      << r;
  EXPECT_EQ(Record(planted + ".record"), "");
}

// The filter list on NT, whose registry keeps a REG_SZ's bytes after its
// first NUL: the web server reads the list up to there, and the rest is
// written back as it was.
class NtFilterList : public HookTest {};

TEST_F(NtFilterList, BytesAfterTheFirstNulAreWrittenBackUnchanged) {
  SetOnline("true");
  // An engine entry after the NUL is not the web server's and stays too.
  for (const std::string& tail :
       {std::string("servana.dll,b.dll\0", 18), std::string("x\0\0\0", 4), std::string(1, '\0')}) {
    SetListExact(REG_SZ, std::string("a.dll,C:\\S\\servana.dll,c.dll\0", 29) + tail);
    ASSERT_EQ(ReadRaw(kFilterKey, kFilterValue).bytes.size(), 29 + tail.size());
    EXPECT_EQ(Init(), 0);
    RawValue raw = ReadRaw(kFilterKey, kFilterValue);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, std::string("a.dll,c.dll\0", 12) + tail);
  }
}

TEST_F(NtFilterList, AListThatCantBeWrittenStaysAndGivesMinusOneButTheServiceGoes) {
  SetOnline("true");
  SetList("a.dll,servana.dll");
  std::string record = Install(dir_ + "\\Kestrix");
  // Setting values refused to everyone, all else allowed.
  ASSERT_TRUE(SetKeyDacl(kFilterKey, "D:(D;;0x2;;;WD)(A;;0xF003F;;;WD)"));
  EXPECT_EQ(Init(), -1);
  EXPECT_EQ(List(), "a.dll,servana.dll");
  EXPECT_NE(Record(record).find("command "), std::string::npos) << "no removal started";
  ASSERT_TRUE(SetKeyDacl(kFilterKey, "D:(A;;0xF003F;;;WD)"));
  EXPECT_EQ(Init(), 0);
  EXPECT_EQ(List(), "a.dll");
}
}  // namespace
