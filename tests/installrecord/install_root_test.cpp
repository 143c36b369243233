#include <gtest/gtest.h>

#include <string>

#include "installrecord.h"

namespace {

// The lead bytes of the Japanese double-byte code page 932.
bool Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::string Cut(std::string path, LeadByteTest isLeadByte = nullptr) {
  path.push_back('\0');
  if (!CutToInstallRoot(&path[0], isLeadByte)) return "<refused>";
  return path.c_str();
}

TEST(InstallRoot, DriveRootKeepsItsBackslash) {
  EXPECT_EQ(Cut("C:\\pathstamp.exe"), "C:\\");
  EXPECT_EQ(Cut("R:\\setup\\pathstamp.exe"), "R:\\setup");
}

TEST(InstallRoot, DeepFolderHasNoTrailingBackslash) {
  EXPECT_EQ(Cut("C:\\Program Files\\Veltrana\\Kestrix\\pathstamp.exe"),
            "C:\\Program Files\\Veltrana\\Kestrix");
}

TEST(InstallRoot, UncPathCutsAtLastBackslash) {
  EXPECT_EQ(Cut("\\\\server\\share\\kx\\pathstamp.exe"), "\\\\server\\share\\kx");
}

TEST(InstallRoot, CodePage932BackslashBytesInsideCharactersAreNoCuts) {
  // セットアップ表.exe and 表.exe: 表 is 95 5C.
  const std::string setup = "\x83\x5A\x83\x62\x83\x67\x83\x41\x83\x62\x83\x76\x95\x5C.exe";
  EXPECT_EQ(Cut("C:\\KXT\\" + setup, Cp932Lead), "C:\\KXT");
  EXPECT_EQ(Cut("C:\\\x95\x5C.exe", Cp932Lead), "C:\\");
  // A real backslash right after ソ (83 5C) still cuts.
  EXPECT_EQ(Cut("C:\\\x83\x5C\\" + setup, Cp932Lead), "C:\\\x83\x5C");
}

TEST(InstallRoot, PathWithoutBackslashIsRefusedUntouched) {
  EXPECT_EQ(Cut("pathstamp.exe"), "<refused>");
  EXPECT_EQ(Cut(""), "<refused>");
}

}  // namespace
