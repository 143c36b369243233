#include "kxtest_resources.h"

#include <gtest/gtest.h>

namespace kxtest {

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

std::wstring Wide(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 0) return L"<bad>";
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, &text[0], n);
  text.resize(n - 1);
  return text;
}

std::vector<std::wstring> StringTableBlock(HMODULE module, WORD language) {
  std::vector<std::wstring> texts;
  HRSRC found = FindResourceExA(module, RT_STRING, MAKEINTRESOURCEA(1), language);
  if (!found) return texts;
  auto p = static_cast<const WCHAR*>(LockResource(LoadResource(module, found)));
  for (int id = 0; id < 16; ++id) {
    WORD length = *p++;
    texts.emplace_back(p, length);
    p += length;
  }
  return texts;
}

void ExpectProductVersionResource(const std::string& path, const std::string& name) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
  ASSERT_GT(size, 0u) << path;
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);  // one language only
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 0x04B0);

  const std::pair<const char*, std::string> fields[] = {
      {"CompanyName", "Veltrana"},           {"FileDescription", name},
      {"FileVersion", "1, 0, 0, 1"},         {"InternalName", name},
      {"OriginalFilename", name + ".dll"},   {"ProductName", "Veltrana " + name},
      {"ProductVersion", "1, 0, 0, 1"},
  };
  for (const auto& field : fields) {
    char* value = nullptr;
    std::string key = std::string("\\StringFileInfo\\040904B0\\") + field.first;
    ASSERT_TRUE(VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value),
                               &length))
        << field.first;
    EXPECT_EQ(std::string(value), field.second) << field.first;
  }
}

}  // namespace kxtest
