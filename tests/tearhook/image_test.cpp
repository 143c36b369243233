// What the uninstaller finds in tearhook.dll: the export table, the string
// tables and the version resource, read from the loaded image.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "hook_fixture.h"
#include "kxtest.h"
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

std::set<std::string> ExportNames(HMODULE module, DWORD* functionCount) {
  auto base = reinterpret_cast<const BYTE*>(module);
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::set<std::string> names;
  *functionCount = 0;
  if (dir.VirtualAddress == 0) return names;
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
  *functionCount = exports->NumberOfFunctions;
  return names;
}

TEST_F(Image, ExportsTheHooksPlainAndTheLibraryOnlyDecorated) {
  DWORD functions = 0;
  const std::set<std::string> expected = {
      "?ShutdownService@@YGHXZ", "?StartServiceA@@YGHXZ", "?AddToken@@YGHPBD@Z",
      "?WriteTokens@@YGHPBD@Z",  "UninstInitialize",      "UninstUnInitialize"};
  EXPECT_EQ(ExportNames(module_, &functions), expected);
  EXPECT_EQ(functions, 6u);
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
// Calls fn(a, b, c) as a stdcall caller does and gives how far the stack
// pointer moved: 0 when the callee removed its three arguments.
long StackDrift(FARPROC fn) {
  long drift;
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "pushl $3\n\t"
      "pushl $2\n\t"
      "pushl $1\n\t"
      "call *%[fn]\n\t"
      "movl %%esp, %[drift]\n\t"
      "subl %%esi, %[drift]\n\t"
      "movl %%esi, %%esp\n\t"
      : [drift] "=&r"(drift)
      : [fn] "r"(fn)
      : "esi", "eax", "ecx", "edx", "memory", "cc");
  return drift;
}

TEST_F(Image, HooksRemoveTheirThreeArgumentsFromTheStack) {
  // UninstInitialize returns at once here: no online flag is set.
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Veltrana");
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "UninstInitialize")), 0);
  EXPECT_EQ(StackDrift(GetProcAddress(module_, "UninstUnInitialize")), 0);
}
#endif

// One RT_STRING block (ids 0 to 15) of the given language, as UTF-16 texts.
std::wstring LoadFromBlock(HMODULE module, WORD language, int id) {
  HRSRC info = FindResourceExA(module, MAKEINTRESOURCEA(6) /*RT_STRING*/,
                               MAKEINTRESOURCEA(id / 16 + 1), language);
  if (!info) return L"<no block>";
  auto p = static_cast<const WCHAR*>(LockResource(LoadResource(module, info)));
  for (int i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

std::wstring Wide(const char* utf8) {
  WCHAR buffer[1024];
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer, 1024);
  return std::wstring(buffer, n > 0 ? n - 1 : 0);
}

TEST_F(Image, StringTablesHoldTheUninstallTextsInEnglishAndJapanese) {
  const WORD english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 1033
  const WORD japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);   // 1041
  for (int id = 1; id <= kTextCount; ++id) {
    EXPECT_TRUE(LoadFromBlock(module_, english, id) == Wide(kEnglishTexts[id])) << "en " << id;
    EXPECT_TRUE(LoadFromBlock(module_, japanese, id) == Wide(kJapaneseTexts[id])) << "ja " << id;
  }
  EXPECT_TRUE(LoadFromBlock(module_, english, 0).empty());
  EXPECT_TRUE(LoadFromBlock(module_, english, 7).empty());
}

std::string VersionString(const std::vector<BYTE>& info, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
    return "<absent>";
  return std::string(value, length && value[length - 1] == '\0' ? length - 1 : length);
}

TEST_F(Image, VersionResourceNamesTearhook) {
  std::string path = BinPath("tearhook.dll");
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);

  EXPECT_EQ(VersionString(info, "CompanyName"), "Veltrana");
  EXPECT_EQ(VersionString(info, "FileDescription"), "tearhook");
  EXPECT_EQ(VersionString(info, "FileVersion"), "1, 0, 0, 1");
  EXPECT_EQ(VersionString(info, "InternalName"), "tearhook");
  EXPECT_EQ(VersionString(info, "OriginalFilename"), "tearhook.dll");
  EXPECT_EQ(VersionString(info, "ProductName"), "Veltrana tearhook");
  EXPECT_EQ(VersionString(info, "ProductVersion"), "1, 0, 0, 1");
}

}  // namespace
