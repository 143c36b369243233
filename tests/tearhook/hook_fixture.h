// Drives the real tearhook.dll as the uninstaller does: loads it by path,
// calls UninstInitialize by name, and looks at the registry, the stand-ins'
// records and the processes afterwards.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "kxtest.h"

namespace tearhook_test {

constexpr char kInstallationKey[] = "SOFTWARE\\Veltrana\\Kestrix\\2.0\\Installation";
constexpr char kFilterKey[] = "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters";
constexpr char kFilterValue[] = "Filter DLLs";
constexpr char kStandIn[] = "tearhook_standin_service.exe";
constexpr char kAbsent[] = "<absent>";
// The hook pauses 3 s after the removal; a call that skipped it takes far less.
constexpr DWORD kPauseMs = 3000;
constexpr DWORD kPauseSlackMs = 100;  // tick counts step by up to 16 ms

typedef LONG(__stdcall* HookFn)(DWORD, DWORD, DWORD);

// An export of the loaded DLL as the function type the caller knows it by.
inline HookFn FindHook(HMODULE module, const char* name) {
  return reinterpret_cast<HookFn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// A registry value exactly as stored: type and every byte, terminators included.
struct RawValue {
  bool present = false;
  DWORD type = 0;
  std::string bytes;
};
RawValue ReadRaw(const char* key, const char* value);

class HookTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // UninstInitialize with three arbitrary arguments, timed.
  LONG Init(DWORD* elapsedMs = nullptr);
  LONG UnInit() { return uninit_(7, 8, 9); }

  void SetOnline(const std::string& text);
  void SetList(const std::string& text);  // REG_SZ, terminator counted
  // Stores the text exactly as given, NULs and all, through the wide API
  // (the ANSI one cuts a REG_SZ at its first NUL). ASCII only.
  void SetListExact(DWORD type, const std::string& ascii);
  // The list's text when it is a REG_SZ stored with exactly one terminator;
  // anything else is shown as "<type N, M bytes>", a missing value as
  // "<absent>".
  std::string List();

  // An installation under `root` with the stand-in as bin\smon.exe, recorded
  // as InstallPath (which may name the folder in another spelling). Returns
  // the record file the removal command would write.
  std::string Install(const std::string& root, const std::string& installPath = "");
  // Copies the stand-in as folder\exeName, starts it to stay running and
  // waits until it has recorded its start. nullptr on failure. Uses no
  // test assertions, so a dialogue script may call it from its thread.
  HANDLE StartRunning(const std::string& folder, const char* exeName);
  // An installation folder under dir_ and a spelling of it of exactly
  // `length` characters ("\." steps that lead back to the same folder).
  void LongSpelling(size_t length, std::string* folder, std::string* spelling);
  // The stand-in's record ("" when it never ran).
  static std::string Record(const std::string& recordFile);
  static bool Running(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_TIMEOUT; }

  HMODULE module_ = nullptr;
  HookFn init_ = nullptr;
  HookFn uninit_ = nullptr;
  std::string dir_;  // fresh for each test

 private:
  std::vector<HANDLE> started_;
};

}  // namespace tearhook_test
