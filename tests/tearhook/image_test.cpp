// What the uninstaller finds in tearhook.dll: the export table, the string
// tables and the version resource, read from the loaded image.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "hook_fixture.h"
#include "kxtest.h"
#include "kxtest_resources.h"
#include "tearhook_texts.h"

using namespace kxtest;
using namespace tearhook_test;

namespace {

class Image : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA(BinPath("tearhook.dll").c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_F(Image, ExportsTheHooksPlainAndTheLibraryOnlyDecorated) {
  DWORD functions = 0;
  const std::set<std::string> expected = {
      "?ShutdownService@@YGHXZ", "?StartServiceA@@YGHXZ", "?AddToken@@YGHPBD@Z",
      "?WriteTokens@@YGHPBD@Z",  "UninstInitialize",      "UninstUnInitialize",
      "SetUnattended",           "WebServerStopped"};
  EXPECT_EQ(ExportNames(module_, &functions), expected);
  EXPECT_EQ(functions, 8u);
  for (const std::string& name : expected)
    EXPECT_NE(GetProcAddress(module_, name.c_str()), nullptr) << name;
  for (const char* absent : {"ShutdownService", "StartServiceA", "AddToken", "WriteTokens",
                             "RestartWebServer", "DllMain", "UninstInitialize@12",
                             "_UninstInitialize@12", "IsInstallFlagSet", "RemoveEngineFilter"})
    EXPECT_EQ(GetProcAddress(module_, absent), nullptr) << absent;
}

TEST_F(Image, UninstUnInitializeReturnsZero) {
  HookFn uninit = FindHook(module_, "UninstUnInitialize");
  ASSERT_NE(uninit, nullptr);
  EXPECT_EQ(uninit(0, 0, 0), 0);
  EXPECT_EQ(uninit(0xFFFFFFFF, 1, 2), 0);
}

#if defined(__i386__)
// The hooks and the token exports as a plain 32-bit uninstaller calls them:
// each must remove exactly its own arguments.
TEST_F(Image, ExportsWithArgumentsLeaveTheCallersStackAsItWas) {
  // UninstInitialize returns at once here: no online flag is set.
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Veltrana");
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "UninstInitialize"), {1, 2, 3}), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "UninstUnInitialize"), {1, 2, 3}), 0);
  const std::string empty, x = "x", file = TempDir() + "\\drift.txt";
  auto arg = [](const std::string& text) { return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(text.c_str())); };
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "?AddToken@@YGHPBD@Z"), {arg(empty)}), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "?AddToken@@YGHPBD@Z"), {arg(x)}), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "SetUnattended"), {1, arg(empty)}), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "?WriteTokens@@YGHPBD@Z"), {arg(file)}), 0);
  EXPECT_EQ(ReadFile(file), "x");
}
#endif

TEST_F(Image, StringTablesHoldTheUninstallTextsInEnglishAndJapanese) {
  const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033
  const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);   // 1041
  std::vector<std::wstring> en = StringTableBlock(module_, english);
  std::vector<std::wstring> ja = StringTableBlock(module_, japanese);
  ASSERT_EQ(en.size(), 16u);
  ASSERT_EQ(ja.size(), 16u);
  for (int id = 0; id < 16; ++id) {
    bool listed = id >= 1 && id <= kTextCount;
    EXPECT_TRUE(en[id] == Wide(listed ? kEnglishTexts[id] : "")) << "en " << id;
    EXPECT_TRUE(ja[id] == Wide(listed ? kJapaneseTexts[id] : "")) << "ja " << id;
  }
}

TEST_F(Image, VersionResourceNamesTearhook) {
  ExpectProductVersionResource(BinPath("tearhook.dll"), "tearhook");
}

}  // namespace
