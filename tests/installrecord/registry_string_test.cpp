// The registry string read and write that the launcher and the uninstall
// hook link, against Wine's real registry.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "installrecord.h"
#include "kxtest.h"

using namespace kxtest;

namespace {

const char kKey[] = "Software\\KxTest\\RegistryString";

std::string ReadOr(const char* value, const char* absent = "<absent>") {
  char* text = ReadRegistryString(kKey, value);
  if (!text) return absent;
  std::string s = text;
  free(text);
  return s;
}

TEST(RegistryString, WrittenTextReadsBackWithItsTerminatorCounted) {
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\KxTest");
  EXPECT_EQ(WriteRegistryString(kKey, "Path", "C:\\Kestrix 2.0"), ERROR_SUCCESS);
  EXPECT_EQ(ReadOr("Path"), "C:\\Kestrix 2.0");
  std::string raw;
  DWORD type = 0;
  ASSERT_TRUE(RegRead(HKEY_LOCAL_MACHINE, kKey, "Path", &raw, &type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(raw, "C:\\Kestrix 2.0");  // RegRead dropped exactly one NUL
}

TEST(RegistryString, EmptyValueIsAnEmptyStringNotAbsent) {
  EXPECT_EQ(WriteRegistryString(kKey, "Empty", ""), ERROR_SUCCESS);
  EXPECT_EQ(ReadOr("Empty"), "");
}

TEST(RegistryString, OtherTypesAndMissingValuesOrKeysReadAsAbsent) {
  const char expand[] = "%SystemRoot%";
  RegWrite(HKEY_LOCAL_MACHINE, kKey, "Expand", REG_EXPAND_SZ, expand, sizeof expand);
  DWORD number = 1;
  RegWrite(HKEY_LOCAL_MACHINE, kKey, "Number", REG_DWORD, &number, sizeof number);
  EXPECT_EQ(ReadOr("Expand"), "<absent>");
  EXPECT_EQ(ReadOr("Number"), "<absent>");
  EXPECT_EQ(ReadOr("NoSuchValue"), "<absent>");
  EXPECT_EQ(ReadRegistryString("Software\\KxTest\\NoSuchKey", "Path"), nullptr);
}

TEST(RegistryString, UnterminatedValueReadsBackTerminated) {
  // Stored without its NUL: the read must not run past the stored bytes.
  const char bytes[] = {'a', 'b', 'c'};
  RegWrite(HKEY_LOCAL_MACHINE, kKey, "Raw", REG_SZ, bytes, sizeof bytes);
  EXPECT_EQ(ReadOr("Raw"), "abc");
}

TEST(RegistryString, WriteCreatesMissingKeysAndOverwrites) {
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\KxTest");
  EXPECT_EQ(WriteRegistryString("Software\\KxTest\\A\\B\\C", "V", "one"), ERROR_SUCCESS);
  EXPECT_EQ(WriteRegistryString("Software\\KxTest\\A\\B\\C", "V", "two"), ERROR_SUCCESS);
  char* text = ReadRegistryString("Software\\KxTest\\A\\B\\C", "V");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "two");
  free(text);
  // The key opens but the value can't be set (a name longer than the
  // registry allows): that error comes back, not the close's success.
  const std::string tooLong(20000, 'v');
  EXPECT_NE(WriteRegistryString(kKey, tooLong.c_str(), "x"), ERROR_SUCCESS);
  EXPECT_EQ(ReadOr(tooLong.c_str()), "<absent>");
}

}  // namespace
