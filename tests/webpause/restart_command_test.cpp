// The 95/98 restart command and the 260-byte buffer it is built in.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "restart_command.h"

namespace {

std::string Form(const std::string& dir, size_t capacity = kCommandCapacity, bool* ok = nullptr) {
  char out[kCommandCapacity + 8];
  memset(out, '#', sizeof out);
  bool formed = FormRestartCommand(out, capacity, dir.data(), dir.size());
  if (ok) *ok = formed;
  for (size_t i = capacity; i < sizeof out; ++i) EXPECT_EQ(out[i], '#') << "written past " << i;
  return formed ? std::string(out) : "<none:" + std::string(out) + ">";
}

TEST(RestartCommand, SystemDirectoryFollowedDirectlyByTheServerCommand) {
  EXPECT_EQ(Form("C:\\WINDOWS\\SYSTEM"), "C:\\WINDOWS\\SYSTEM\\inetsrv\\inetinfo.exe -e w3svc");
  // Only the given length counts, whatever follows it.
  char dir[] = "C:\\WIN98\\SYSTEMjunk";
  char out[kCommandCapacity];
  ASSERT_TRUE(FormRestartCommand(out, sizeof out, dir, 15));
  EXPECT_STREQ(out, "C:\\WIN98\\SYSTEM\\inetsrv\\inetinfo.exe -e w3svc");
}

TEST(RestartCommand, ADirectoryTooLongForTheBufferGivesNoCommandAtAll) {
  // 229 characters leave exactly room for the 30 of the suffix and the NUL.
  std::string fits = "C:\\" + std::string(226, 'd');
  bool ok = false;
  std::string command = Form(fits, kCommandCapacity, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(command.size(), 259u);

  for (size_t length : {230u, 259u, 300u}) {
    std::string dir = "C:\\" + std::string(length - 3, 'd');
    EXPECT_EQ(Form(dir, kCommandCapacity, &ok), "<none:>") << length;
    EXPECT_FALSE(ok);
  }
  EXPECT_EQ(Form("", kCommandCapacity, &ok), "<none:>");
  EXPECT_EQ(Form("C:", 10, &ok), "<none:>");  // a buffer smaller than the suffix
}

}  // namespace
