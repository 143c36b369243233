// Name handling of the process look-up: the counter-name list of the NT
// fill, the executable name made from an instance name, and the look-up's
// comparison.
#include <gtest/gtest.h>

#include <string>

#include "webctl.h"

namespace {

PerfCounterNames Names(const std::string& list) {
  // An exact copy, so that ASan sees a read beyond the size.
  std::vector<char> exact(list.begin(), list.end());
  PerfCounterNames names;
  memset(&names, 0x55, sizeof names);
  ParseCounterNames(exact.data(), exact.size(), &names);
  return names;
}

TEST(CounterNames, TakesTheIndexBeforeEachNameIgnoringCase) {
  using namespace std::string_literals;
  PerfCounterNames n = Names("1\0" "1847\0" "2\0" "System\0" "230\0" "PROCESS\0"
                             "784\0" "Id Process\0" "6\0" "% Processor Time\0\0"s);
  EXPECT_STREQ(n.processIndex, "230");
  EXPECT_EQ(n.idProcessIndex, 784u);

  // Other indices, and a later match replacing an earlier one.
  n = Names("740\0" "process\0" "10\0" "ID PROCESS\0" "1230\0" "Process\0" "0\0\0"s);
  EXPECT_STREQ(n.processIndex, "1230");
  EXPECT_EQ(n.idProcessIndex, 10u);
  // Names that merely contain the words don't count.
  n = Names("740\0" "process \0" "10\0" "id processes\0" "11\0" "ID Process\0\0"s);
  EXPECT_STREQ(n.processIndex, "230");
  EXPECT_EQ(n.idProcessIndex, 11u);
}

TEST(CounterNames, FallsBackToTheStandardIndicesForMissingNames) {
  using namespace std::string_literals;
  // Wine's whole list.
  PerfCounterNames n = Names("1\0" "1847\0" "1846\0" "End Marker\0\0"s);
  EXPECT_STREQ(n.processIndex, "230");
  EXPECT_EQ(n.idProcessIndex, 784u);
  // One of the two present.
  n = Names("500\0" "Process\0\0"s);
  EXPECT_STREQ(n.processIndex, "500");
  EXPECT_EQ(n.idProcessIndex, 784u);
  // A name with no index before it, and one whose index isn't a number
  // that fits.
  n = Names("Process\0" "99999999999\0" "ID Process\0\0"s);
  EXPECT_STREQ(n.processIndex, "230");
  EXPECT_EQ(n.idProcessIndex, 784u);
  n = Names(""s);
  EXPECT_STREQ(n.processIndex, "230");
}

TEST(CounterNames, StaysWithinTheSizeWhenTheListIsNotTerminated) {
  using namespace std::string_literals;
  PerfCounterNames n = Names("230\0" "Process\0" "784\0" "ID Proc"s);
  EXPECT_STREQ(n.processIndex, "230");
  n = Names("12\0Process"s);  // the last string runs into the end
  EXPECT_STREQ(n.processIndex, "12");
}

TEST(ExeName, GetsExeUpTo255CharactersAndIsKeptAsItIsBeyond) {
  char out[260];
  ASSERT_TRUE(FormExeNameFromInstance("inetinfo", out, sizeof out));
  EXPECT_STREQ(out, "inetinfo.exe");
  ASSERT_TRUE(FormExeNameFromInstance("", out, sizeof out));
  EXPECT_STREQ(out, ".exe");

  const std::string n255(255, 'x');
  ASSERT_TRUE(FormExeNameFromInstance(n255.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), n255 + ".exe");
  for (size_t length : {256u, 259u}) {
    const std::string name(length, 'y');
    memset(out, 0x7F, sizeof out);
    ASSERT_TRUE(FormExeNameFromInstance(name.c_str(), out, sizeof out)) << length;
    EXPECT_EQ(std::string(out), name) << length;
  }
  // 260 characters don't fit with their NUL; nothing is written.
  const std::string n260(260, 'z');
  memset(out, 0x7F, sizeof out);
  EXPECT_FALSE(FormExeNameFromInstance(n260.c_str(), out, sizeof out));
  EXPECT_EQ(out[0], 0x7F);
}

TEST(ExeName, ComparesIgnoringOnlyTheCaseOfAsciiLetters) {
  EXPECT_TRUE(ExeNamesEqual("INETINFO.EXE", "inetinfo.exe"));
  EXPECT_TRUE(ExeNamesEqual("Smon.Exe", "sMON.eXE"));
  EXPECT_FALSE(ExeNamesEqual("inetinfo.exe", "inetinfo.ex"));
  EXPECT_FALSE(ExeNamesEqual("inetinfo", "inetinfo.exe"));
  EXPECT_FALSE(ExeNamesEqual("\xC4.exe", "\xE4.exe"));  // no folding beyond A-Z
  EXPECT_FALSE(ExeNamesEqual("@.exe", "`.exe"));
  EXPECT_TRUE(ExeNamesEqual("", ""));
}

TEST(ExeName, TakesTheFileNamePartOfASnapshotPath) {
  EXPECT_STREQ(FileNamePart("C:\\WINDOWS\\SYSTEM\\INETSRV\\INETINFO.EXE", nullptr),
               "INETINFO.EXE");
  EXPECT_STREQ(FileNamePart("smon.exe", nullptr), "smon.exe");
  EXPECT_STREQ(FileNamePart("C:\\dir\\", nullptr), "");
  EXPECT_STREQ(FileNamePart("", nullptr), "");
}

// Code page 932, where ソ is 83 5C and 表 95 5C: neither ソinetinfo.exe nor
// 表smon.exe may read as the server's name.
TEST(ExeName, TakesTheFileNamePartBetweenCodePage932Characters) {
  auto lead = [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
  EXPECT_STREQ(FileNamePart("C:\\\x83\x5C\\TOOLS\\\x83\x5C" "inetinfo.exe", lead),
               "\x83\x5C" "inetinfo.exe");
  EXPECT_STREQ(FileNamePart("C:\\SRV\\\x95\x5Csmon.exe", lead), "\x95\x5Csmon.exe");
}

}  // namespace
