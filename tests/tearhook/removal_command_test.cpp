// The service manager's removal command and its 512-byte limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tearhook.h"

namespace {

TEST(RemovalCommand, FollowsTheInstallationRootDirectly) {
  char out[kRemovalCommandCapacity];
  ASSERT_TRUE(FormRemovalCommand("C:\\Program Files\\Veltrana\\Kestrix 2.0", out, sizeof out));
  EXPECT_STREQ(out, "C:\\Program Files\\Veltrana\\Kestrix 2.0\\bin\\smon.exe -r smon-default");
  // A drive's root keeps its backslash, so two stand side by side.
  ASSERT_TRUE(FormRemovalCommand("D:\\", out, sizeof out));
  EXPECT_STREQ(out, "D:\\\\bin\\smon.exe -r smon-default");
}

TEST(RemovalCommand, LongestPathThatFitsAndOneByteMore) {
  const size_t suffix = sizeof kRemovalCommandSuffix - 1;
  const std::string fits = "C:\\" + std::string(kRemovalCommandCapacity - 1 - suffix - 3, 'p');
  std::vector<char> out(kRemovalCommandCapacity + 8, 'Z');
  ASSERT_TRUE(FormRemovalCommand(fits.c_str(), out.data(), kRemovalCommandCapacity));
  EXPECT_EQ(std::string(out.data()), fits + kRemovalCommandSuffix);
  EXPECT_EQ(std::string(out.data()).size(), kRemovalCommandCapacity - 1);

  out.assign(out.size(), 'Z');
  const std::string tooLong = fits + "p";
  EXPECT_FALSE(FormRemovalCommand(tooLong.c_str(), out.data(), kRemovalCommandCapacity));
  EXPECT_EQ(out[0], '\0');  // no cut command left behind
  for (size_t i = kRemovalCommandCapacity; i < out.size(); ++i) EXPECT_EQ(out[i], 'Z');
  const std::string huge(5000, 'p');
  EXPECT_FALSE(FormRemovalCommand(huge.c_str(), out.data(), kRemovalCommandCapacity));
}

}  // namespace
