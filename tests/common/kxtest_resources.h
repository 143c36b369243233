// Reading a DLL's resources back as the installer and the user see them.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace kxtest {

// Every name in a loaded image's export directory; functionCount receives
// the number of exported functions (names and ordinal-only ones alike).
std::set<std::string> ExportNames(HMODULE module, DWORD* functionCount);

// UTF-8 source text as UTF-16, for comparing with string-table entries.
std::wstring Wide(const char* utf8);

// The 16 texts (ids 0-15) of the first RT_STRING block in one language;
// empty when the module has no such block.
std::vector<std::wstring> StringTableBlock(HMODULE module, WORD language);

// Checks, with gtest expectations, the version resource every DLL of the
// product carries: version 1.0.0.1 ("1, 0, 0, 1"), one US-English Unicode
// string block 040904B0 with "Veltrana" as company, `name` as description
// and internal name, `name`.dll as file name and "Veltrana `name`" as
// product.
void ExpectProductVersionResource(const std::string& path, const std::string& name);

}  // namespace kxtest
