// The commands started from the system directory (the 95/98 restart and the
// NT net.exe commands) and the 260-byte buffer they are built in.
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

std::string Net(const std::string& dir, const char* arguments, size_t capacity = kCommandCapacity) {
  char out[kCommandCapacity + 8];
  memset(out, '#', sizeof out);
  bool formed = FormNetCommand(out, capacity, dir.data(), dir.size(), arguments);
  for (size_t i = capacity; i < sizeof out; ++i) EXPECT_EQ(out[i], '#') << "written past " << i;
  return formed ? std::string(out) : "<none:" + std::string(out) + ">";
}

TEST(RestartCommand, QuotedServerPathInTheSystemDirectoryThenItsArguments) {
  EXPECT_EQ(Form("C:\\WINDOWS\\SYSTEM"), "\"C:\\WINDOWS\\SYSTEM\\inetsrv\\inetinfo.exe\" -e w3svc");
  // Only the given length counts, whatever follows it.
  char dir[] = "C:\\WIN98\\SYSTEMjunk";
  char out[kCommandCapacity];
  ASSERT_TRUE(FormRestartCommand(out, sizeof out, dir, 15));
  EXPECT_STREQ(out, "\"C:\\WIN98\\SYSTEM\\inetsrv\\inetinfo.exe\" -e w3svc");
}

TEST(RestartCommand, ADirectoryTooLongForTheBufferGivesNoCommandAtAll) {
  // 227 characters leave exactly room for the quotes, the 30 characters of
  // the server's path and arguments, and the NUL.
  std::string fits = "C:\\" + std::string(224, 'd');
  bool ok = false;
  std::string command = Form(fits, kCommandCapacity, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(command.size(), 259u);

  for (size_t length : {228u, 259u, 300u}) {
    std::string dir = "C:\\" + std::string(length - 3, 'd');
    EXPECT_EQ(Form(dir, kCommandCapacity, &ok), "<none:>") << length;
    EXPECT_FALSE(ok);
  }
  EXPECT_EQ(Form("", kCommandCapacity, &ok), "<none:>");
  EXPECT_EQ(Form("C:", 10, &ok), "<none:>");  // a buffer smaller than the suffix
}

TEST(NetCommand, SystemNetExeByFullPathQuotedOnlyWhenItHoldsABlank) {
  const char* stop = " stop \"World Wide Web Publishing Service\"";
  EXPECT_EQ(Net("C:\\WINNT\\system32", stop),
            "C:\\WINNT\\system32\\net.exe stop \"World Wide Web Publishing Service\"");
  EXPECT_EQ(Net("C:\\My Windows\\system32", " start \"Servana Service Manager\""),
            "\"C:\\My Windows\\system32\\net.exe\" start \"Servana Service Manager\"");
  EXPECT_EQ(Net("C:\\WIN\tNT", " x"), "\"C:\\WIN\tNT\\net.exe\" x");

  // The limit counts the quotes: a directory that fits unquoted may not
  // fit once it has to be quoted.
  const std::string tail = " stop \"Servana Service Manager\"";  // 31 characters
  const size_t longest = kCommandCapacity - 1 - 8 - tail.size();  // 8: "\net.exe"
  std::string plain = "C:\\" + std::string(longest - 3, 'd');
  EXPECT_EQ(Net(plain, tail.c_str()).size(), kCommandCapacity - 1);
  EXPECT_EQ(Net(plain + "d", tail.c_str()), "<none:>");
  std::string blank = "C:\\ " + std::string(longest - 4, 'd');
  EXPECT_EQ(Net(blank, tail.c_str()), "<none:>");
  blank.resize(blank.size() - 2);
  EXPECT_EQ(Net(blank, tail.c_str()), "\"" + blank + "\\net.exe\"" + tail);
  EXPECT_EQ(Net("", tail.c_str()), "<none:>");
}

}  // namespace
