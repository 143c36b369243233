// The texts kxlaunch forms from the installation path, natively.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "launch_text.h"

namespace {

constexpr char kSentinel = '\x7f';

// Formats into a buffer of exactly capacity bytes followed by guard bytes,
// and checks that nothing past capacity was touched.
template <class F>
std::string Into(size_t capacity, F format, bool* ok) {
  std::vector<char> buffer(capacity + 8, kSentinel);
  *ok = format(buffer.data(), capacity);
  for (size_t i = capacity; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], kSentinel) << i;
  if (capacity == 0) return "";
  EXPECT_NE(memchr(buffer.data(), '\0', capacity), nullptr);
  return buffer.data();
}

TEST(FormatWithArgs, ReplacesEachPercentSInTurnAndCopiesAnyOtherPercent) {
  const char* args[] = {"one", "two"};
  bool ok = false;
  std::string s = Into(64, [&](char* out, size_t cap) {
    return FormatWithArgs(out, cap, "%s-%d-%%-%s%", args, 2);
  }, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(s, "one-%d-%%-two%");

  s = Into(64, [&](char* out, size_t cap) { return FormatWithArgs(out, cap, "%s%s%s", args, 2); },
           &ok);
  EXPECT_FALSE(ok) << "more %s than arguments";
  EXPECT_EQ(s, "");
}

TEST(FormatWithArgs, ExactFitSucceedsAndOneByteLessLeavesTheBufferEmpty) {
  const char* args[] = {"abc"};
  bool ok = false;
  EXPECT_EQ(Into(6, [&](char* o, size_t c) { return FormatWithArgs(o, c, "<%s>", args, 1); }, &ok),
            "<abc>");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Into(5, [&](char* o, size_t c) { return FormatWithArgs(o, c, "<%s>", args, 1); }, &ok),
            "");
  EXPECT_FALSE(ok);
  Into(0, [&](char* o, size_t c) { return FormatWithArgs(o, c, "", args, 1); }, &ok);
  EXPECT_FALSE(ok) << "no room even for the NUL";
}

TEST(LibraryPath, FitsUpTo235CharactersAndRefusesLonger) {
  char out[kLibraryPathCapacity];
  std::string fits(235, 'a');
  ASSERT_TRUE(FormatLibraryPath(out, fits.c_str()));
  EXPECT_EQ(std::string(out), fits + "\\jre\\bin\\classic\\jvm.dll");
  EXPECT_EQ(strlen(out), 259u);

  std::string tooLong(236, 'a');
  EXPECT_FALSE(InstallPathFitsLibraryPath(tooLong.size()));
  EXPECT_FALSE(FormatLibraryPath(out, tooLong.c_str()));
  EXPECT_STREQ(out, "");
}

TEST(LibraryPath, DriveRootGivesTwoAdjacentBackslashes) {
  char out[kLibraryPathCapacity];
  ASSERT_TRUE(FormatLibraryPath(out, "C:\\"));
  EXPECT_STREQ(out, "C:\\\\jre\\bin\\classic\\jvm.dll");
}

TEST(NewPath, IsInstallFoldersThenTheOldPathAndOneSemicolon) {
  const std::string I = "C:\\Kestrix 2.0";
  const std::string old = "C:\\WINDOWS;C:\\WINDOWS\\system32";
  size_t size = NewPathSize(I.size(), old.size());
  EXPECT_EQ(size, old.size() + 2 * I.size() + 16);
  bool ok = false;
  std::string s = Into(size, [&](char* o, size_t c) {
    return FormatNewPath(o, c, I.c_str(), old.c_str());
  }, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(s, I + "\\bin;" + I + "\\jre\\bin;" + old + ";");
  EXPECT_EQ(s.size() + 1, size) << "sized exactly";
}

TEST(NewPath, EmptyOldPathLeavesTwoSemicolonsAtTheEnd) {
  size_t size = NewPathSize(3, 0);
  bool ok = false;
  EXPECT_EQ(Into(size, [&](char* o, size_t c) { return FormatNewPath(o, c, "C:\\", ""); }, &ok),
            "C:\\\\bin;C:\\\\jre\\bin;;");
  EXPECT_TRUE(ok);
}

TEST(NewPath, VeryLongOldPathIsKeptWhole) {
  std::string old;
  while (old.size() < 70000) old += "D:\\some\\tool\\bin;";
  size_t size = NewPathSize(2, old.size());
  bool ok = false;
  std::string s = Into(size, [&](char* o, size_t c) {
    return FormatNewPath(o, c, "C:", old.c_str());
  }, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(s, "C:\\bin;C:\\jre\\bin;" + old + ";");
  EXPECT_EQ(NewPathSize(static_cast<size_t>(-1) / 2, 0), 0u) << "overflow";
  EXPECT_EQ(NewPathSize(1, static_cast<size_t>(-1) - 10), 0u) << "overflow";
}

TEST(Options, TextsAndTheirBufferSizes) {
  const std::string I = "C:\\Program Files\\Kestrix";
  const size_t L = I.size();
  const std::vector<std::string> expected = {
      "",
      "-Djava.class.path=" + I + "\\classes\\zephkes.jar;" + I + "\\classes",
      "-Djava.library.path=" + I + "\\bin",
      "-Djava.Home=" + I + "\\jre",
      "-Dcom.veltrana.kestrix.installpath=" + I,
  };
  EXPECT_EQ(OptionCapacity(1, L), 2 * L + 256);
  for (int i = 2; i <= 4; ++i) EXPECT_EQ(OptionCapacity(i, L), L + 256) << i;
  for (int i = 1; i <= 4; ++i) {
    bool ok = false;
    std::string s = Into(OptionCapacity(i, L), [&](char* o, size_t c) {
      return FormatOption(i, o, c, I.c_str());
    }, &ok);
    EXPECT_TRUE(ok) << i;
    EXPECT_EQ(s, expected[i]);
  }
  EXPECT_STREQ(kOptionCompiler, "-Djava.compiler=NONE");
  char out[8];
  EXPECT_EQ(OptionCapacity(0, L), 0u);
  EXPECT_EQ(OptionCapacity(5, L), 0u);
  EXPECT_FALSE(FormatOption(0, out, sizeof out, "C:"));
  EXPECT_FALSE(FormatOption(5, out, sizeof out, "C:"));
}

TEST(Options, DriveRootGivesTwoAdjacentBackslashes) {
  char out[300];
  ASSERT_TRUE(FormatOption(1, out, sizeof out, "C:\\"));
  EXPECT_STREQ(out, "-Djava.class.path=C:\\\\classes\\zephkes.jar;C:\\\\classes");
  ASSERT_TRUE(FormatOption(3, out, sizeof out, "C:\\"));
  EXPECT_STREQ(out, "-Djava.Home=C:\\\\jre");
}

TEST(ClassName, DotsBecomeSlashesForTheLookUp) {
  char name[sizeof kMainClassName];
  memcpy(name, kMainClassName, sizeof name);
  DotsToSlashes(name);
  EXPECT_STREQ(name, "com/veltrana/kestrix/app/ZephylKestrixApp");
  EXPECT_STREQ(kMainClassName, "com.veltrana.kestrix.app.ZephylKestrixApp");
  char edge[] = "..a.";
  DotsToSlashes(edge);
  EXPECT_STREQ(edge, "//a/");
}

}  // namespace
