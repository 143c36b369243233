// Loads the real webpause.dll as the installer does and checks what it
// offers: the export table, the token collection, the string tables and the
// version resource.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kxtest.h"
#include "kxtest_resources.h"
#include "webpause_texts.h"

using namespace kxtest;

namespace {

typedef int(__stdcall* TextArgument)(const char*);

class Webpause : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA(BinPath("webpause.dll").c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
    addToken_ = reinterpret_cast<TextArgument>(GetProcAddress(module_, "AddToken"));
    writeTokens_ = reinterpret_cast<TextArgument>(GetProcAddress(module_, "WriteTokens"));
    ASSERT_NE(addToken_, nullptr);
    ASSERT_NE(writeTokens_, nullptr);
    dir_ = TempDir();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  int Add(const char* token) { return addToken_(token); }
  int Write(const std::string& path) { return writeTokens_(path.c_str()); }

  HMODULE module_ = nullptr;
  TextArgument addToken_ = nullptr;
  TextArgument writeTokens_ = nullptr;
  std::string dir_;
};

TEST_F(Webpause, ExportsExactlyTheNamesTheInstallerLooksFor) {
  DWORD functions = 0;
  std::set<std::string> expected = {"ShutdownService", "?StartServiceA@@YGHXZ", "AddToken",
                                    "WriteTokens", "SetUnattended", "WebServerStopped"};
  EXPECT_EQ(ExportNames(module_, &functions), expected);
  EXPECT_EQ(functions, 6u);  // no export by ordinal only
  for (const std::string& name : expected)
    EXPECT_NE(GetProcAddress(module_, name.c_str()), nullptr) << name;
  for (const char* absent : {"StartServiceA", "RestartWebServer", "DllMain", "AddToken@4",
                             "_AddToken@4", "ShutdownService@0", "?AddToken@@YGHPBD@Z"})
    EXPECT_EQ(GetProcAddress(module_, absent), nullptr) << absent;
}

#if defined(__i386__)
// Every export as a plain 32-bit installer calls it: each must remove exactly
// the arguments it was given. A no-argument export that expected one would
// show here too. The two server exports find no server in this prefix; the
// restart then polls its full ten seconds.
TEST_F(Webpause, EveryExportLeavesTheCallersStackAsItWas) {
  auto arg = [](const std::string& text) { return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(text.c_str())); };
  const std::string empty, x = "x", file = dir_ + "\\drift.txt";
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "AddToken"), {arg(empty)}), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "AddToken"), {arg(x)}), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "WriteTokens"), {arg(file)}), 0);
  EXPECT_EQ(ReadFile(file), "x");
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "SetUnattended"), {1, arg(file)}), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "ShutdownService")), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "WebServerStopped")), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "?StartServiceA@@YGHXZ")), 0);
}
#endif

TEST_F(Webpause, WritingBeforeAnyCollectionCreatesNothing) {
  const std::string file = dir_ + "\\tokens.txt";
  EXPECT_EQ(Add("dropped"), 1);
  EXPECT_EQ(Write(file), 0);
  EXPECT_FALSE(FileExists(file));
}

TEST_F(Webpause, CollectedTokensAreAppendedAsTheyCame) {
  const std::string file = dir_ + "\\tokens.txt";
  EXPECT_EQ(Add("before"), 1);  // dropped: no collection yet
  EXPECT_EQ(Add(""), 1);
  for (const char* t : {"a", "b", "c"}) EXPECT_EQ(Add(t), 1);
  EXPECT_EQ(Write(file), 1);
  EXPECT_EQ(ReadFile(file), "abc");
  EXPECT_EQ(Write(file), 1);
  EXPECT_EQ(ReadFile(file), "abcabc");

  EXPECT_EQ(Add(""), 1);  // throws the text away
  EXPECT_EQ(Add("line\n"), 1);
  EXPECT_EQ(Write(file), 1);
  EXPECT_EQ(ReadFile(file), "abcabcline\r\n");  // text mode
}

TEST_F(Webpause, AnEmptyCollectionCreatesAnEmptyFileAndAnUnopenablePathFails) {
  const std::string file = dir_ + "\\empty.txt";
  EXPECT_EQ(Add(""), 1);
  EXPECT_EQ(Write(file), 1);
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_EQ(Write(dir_ + "\\no such folder\\t.txt"), 0);
  EXPECT_EQ(Write(dir_), 0);  // a folder
}

TEST_F(Webpause, AFullDiskGivesZero) {  // F: is a tmpfs the test bed filled
  const std::string drive = Env("KX_FULLDRIVE");
  if (drive.empty()) GTEST_SKIP() << "no full drive: " << Env("KX_NO_FULLDRIVE");
  ULARGE_INTEGER room = {};
  ASSERT_TRUE(GetDiskFreeSpaceExA((drive + "\\").c_str(), &room, nullptr, nullptr));
  ASSERT_LT(room.QuadPart, 4000u);
  EXPECT_EQ(Add(""), 1);
  EXPECT_EQ(Add(std::string(4000, 'f').c_str()), 1);
  EXPECT_EQ(Write(drive + "\\tokens.txt"), 0);
  EXPECT_LT(ReadFile(drive + "\\tokens.txt").size(), 4000u);
}

TEST_F(Webpause, AnOverlongTextIsCutAt4095Characters) {
  const std::string file = dir_ + "\\long.txt";
  EXPECT_EQ(Add(""), 1);
  std::string chunk(1000, 'k');
  for (int i = 0; i < 5; ++i) EXPECT_EQ(Add(chunk.c_str()), 1);
  EXPECT_EQ(Add("more"), 1);
  EXPECT_EQ(Write(file), 1);
  EXPECT_EQ(ReadFile(file), std::string(4095, 'k'));
  // The DLL is still sound after the cut: a new collection works.
  EXPECT_EQ(Add(""), 1);
  EXPECT_EQ(Add("after"), 1);
  EXPECT_EQ(Write(file), 1);
  EXPECT_EQ(ReadFile(file), std::string(4095, 'k') + "after");
}

TEST_F(Webpause, ReloadingStartsIdleAgain) {
  const std::string file = dir_ + "\\reload.txt";
  EXPECT_EQ(Add(""), 1);
  EXPECT_EQ(Add("x"), 1);
  ASSERT_TRUE(FreeLibrary(module_));
  module_ = nullptr;
  ASSERT_EQ(GetModuleHandleA("webpause.dll"), nullptr) << "still loaded";
  SetUp();
  EXPECT_EQ(Write(file), 0);
  EXPECT_FALSE(FileExists(file));
}

// --- resources -------------------------------------------------------------

TEST_F(Webpause, StringTablesHoldTheInstallationTextsInBothLanguages) {
  std::vector<std::wstring> en = StringTableBlock(module_, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  std::vector<std::wstring> ja = StringTableBlock(module_, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
  ASSERT_EQ(en.size(), 16u);
  ASSERT_EQ(ja.size(), 16u);
  for (int id = 0; id < 16; ++id) {
    EXPECT_EQ(en[id], Wide(id <= 6 ? webpause_texts::kEnglish[id] : "")) << "English id " << id;
    EXPECT_EQ(ja[id], Wide(id <= 6 ? webpause_texts::kJapanese[id] : "")) << "Japanese id " << id;
  }
  // No string table beyond ids 0-15.
  EXPECT_EQ(FindResourceA(module_, MAKEINTRESOURCEA(2), RT_STRING), nullptr);
}

TEST_F(Webpause, VersionResourceReadsBackAsTheInstallerShowsIt) {
  ExpectProductVersionResource(BinPath("webpause.dll"), "webpause");
}

}  // namespace
