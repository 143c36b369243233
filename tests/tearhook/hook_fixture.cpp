#include "hook_fixture.h"

#include <stdio.h>

using namespace kxtest;

namespace tearhook_test {

RawValue ReadRaw(const char* keyName, const char* value) {
  RawValue raw;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return raw;
  DWORD size = 0;
  if (RegQueryValueExA(key, value, nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
    raw.bytes.assign(size, '\0');
    if (RegQueryValueExA(key, value, nullptr, &raw.type,
                         reinterpret_cast<BYTE*>(&raw.bytes[0]), &size) == ERROR_SUCCESS) {
      raw.present = true;
      raw.bytes.resize(size);
    }
  }
  RegCloseKey(key);
  return raw;
}

namespace {
BOOL CALLBACK IgnoreWindow(HWND, LPARAM) { return TRUE; }
}  // namespace

void HookTest::SetUp() {
  // Wine sets up its window system on first use; doing that on two threads
  // at once (the hook's window look-up and a dialogue answerer) can deadlock.
  EnumWindows(IgnoreWindow, 0);
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Veltrana");
  RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\W3SVC");
  module_ = LoadLibraryA(BinPath("tearhook.dll").c_str());
  ASSERT_NE(module_, nullptr) << GetLastError();
  init_ = FindHook(module_, "UninstInitialize");
  uninit_ = FindHook(module_, "UninstUnInitialize");
  ASSERT_NE(init_, nullptr);
  ASSERT_NE(uninit_, nullptr);
  dir_ = TempDir();
}

void HookTest::TearDown() {
  for (HANDLE process : started_) {
    TerminateProcess(process, 255);
    WaitForSingleObject(process, 5000);  // gone from the process table before the next test
    CloseHandle(process);
  }
  started_.clear();
  if (module_) FreeLibrary(module_);
}

LONG HookTest::Init(DWORD* elapsedMs) {
  DWORD start = GetTickCount();
  LONG result = init_(0x11111111, 0x22222222, 0x33333333);
  if (elapsedMs) *elapsedMs = GetTickCount() - start;
  return result;
}

void HookTest::SetOnline(const std::string& text) {
  RegWriteSz(HKEY_LOCAL_MACHINE, kInstallationKey, "online", text);
}

void HookTest::SetList(const std::string& text) {
  RegWriteSz(HKEY_LOCAL_MACHINE, kFilterKey, kFilterValue, text);
}

void HookTest::SetListExact(DWORD type, const std::string& ascii) {
  std::wstring wide(ascii.begin(), ascii.end());
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFilterKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, L"Filter DLLs", 0, type, reinterpret_cast<const BYTE*>(wide.data()),
                           static_cast<DWORD>(wide.size() * sizeof(WCHAR))),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

std::string HookTest::List() {
  RawValue raw = ReadRaw(kFilterKey, kFilterValue);
  if (!raw.present) return kAbsent;
  if (raw.type == REG_SZ && !raw.bytes.empty() && raw.bytes.back() == '\0' &&
      raw.bytes.find('\0') == raw.bytes.size() - 1)
    return raw.bytes.substr(0, raw.bytes.size() - 1);
  char shape[64];
  snprintf(shape, sizeof shape, "<type %lu, %u bytes>", raw.type,
           static_cast<unsigned>(raw.bytes.size()));
  return shape;
}

std::string HookTest::Install(const std::string& root, const std::string& installPath) {
  EXPECT_TRUE(MakeDirs(root + "\\bin"));
  std::string smon = root + "\\bin\\smon.exe";
  EXPECT_TRUE(CopyTo(StandinPath(kStandIn), smon)) << smon;
  RegWriteSz(HKEY_LOCAL_MACHINE, kInstallationKey, "InstallPath",
             installPath.empty() ? root : installPath);
  return smon + ".record";
}

HANDLE HookTest::StartRunning(const std::string& folder, const char* exeName) {
  std::string exe = folder + "\\" + exeName;
  if (!MakeDirs(folder) || !CopyTo(BinPath(kStandIn), exe)) return nullptr;
  std::string command = "\"" + exe + "\" stay";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return nullptr;
  CloseHandle(process.hThread);
  started_.push_back(process.hProcess);
  // Once it has recorded its start it is surely in the process table.
  if (!WaitFor([&] { return Record(exe + ".record").find("started") != std::string::npos; }, 20000))
    return nullptr;
  return process.hProcess;
}

void HookTest::LongSpelling(size_t length, std::string* folder, std::string* spelling) {
  *folder = dir_ + "\\Kestrix 2.0";
  if ((length - folder->size()) % 2 != 0) *folder += "x";
  *spelling = *folder;
  while (spelling->size() < length) *spelling += "\\.";
}

std::string HookTest::Record(const std::string& recordFile) { return ReadFile(recordFile); }

}  // namespace tearhook_test
