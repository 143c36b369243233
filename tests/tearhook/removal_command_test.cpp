// The service manager's removal command and its 512-byte limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tearhook.h"

namespace {

TEST(RemovalCommand, QuotedProgramInTheInstallationsBinFolderThenItsArguments) {
  char out[kRemovalCommandCapacity];
  // Unquoted, CreateProcessA would try C:\Program.exe first.
  ASSERT_TRUE(FormRemovalCommand("C:\\Program Files\\Veltrana\\Kestrix 2.0", out, sizeof out));
  EXPECT_STREQ(out,
               "\"C:\\Program Files\\Veltrana\\Kestrix 2.0\\bin\\smon.exe\" -r smon-default");
  // A drive's root keeps its backslash, so two stand side by side.
  ASSERT_TRUE(FormRemovalCommand("D:\\", out, sizeof out));
  EXPECT_STREQ(out, "\"D:\\\\bin\\smon.exe\" -r smon-default");
}

TEST(RemovalCommand, LongestPathThatFitsAndOneByteMore) {
  // The quotes count: 2 + 13 ("\bin\smon.exe") + 16 (" -r smon-default")
  // + the terminator leave 480 characters for the path.
  const size_t fixed = 2 + (sizeof kRemovalProgram - 1) + (sizeof kRemovalArguments - 1) + 1;
  ASSERT_EQ(fixed, 32u);
  const std::string fits = "C:\\" + std::string(kRemovalCommandCapacity - fixed - 3, 'p');
  std::vector<char> out(kRemovalCommandCapacity + 8, 'Z');
  ASSERT_TRUE(FormRemovalCommand(fits.c_str(), out.data(), kRemovalCommandCapacity));
  EXPECT_EQ(std::string(out.data()), "\"" + fits + "\\bin\\smon.exe\" -r smon-default");
  EXPECT_EQ(std::string(out.data()).size(), kRemovalCommandCapacity - 1);

  out.assign(out.size(), 'Z');
  const std::string tooLong = fits + "p";
  EXPECT_FALSE(FormRemovalCommand(tooLong.c_str(), out.data(), kRemovalCommandCapacity));
  EXPECT_EQ(out[0], '\0');  // no cut command left behind
  for (size_t i = kRemovalCommandCapacity; i < out.size(); ++i) EXPECT_EQ(out[i], 'Z');
  const std::string huge(5000, 'p');
  EXPECT_FALSE(FormRemovalCommand(huge.c_str(), out.data(), kRemovalCommandCapacity));
  EXPECT_FALSE(FormRemovalCommand("C:\\", out.data(), fixed - 1));
}

}  // namespace
