#include <gtest/gtest.h>

#include <string>

#include "installrecord.h"

namespace {

std::string Cut(std::string path) {
  path.push_back('\0');
  if (!CutToInstallRoot(&path[0])) return "<refused>";
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

TEST(InstallRoot, PathWithoutBackslashIsRefusedUntouched) {
  EXPECT_EQ(Cut("pathstamp.exe"), "<refused>");
  EXPECT_EQ(Cut(""), "<refused>");
}

}  // namespace
