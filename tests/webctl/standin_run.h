// Starts a stand-in program for a test and terminates it when the test ends.
#pragma once
#include <windows.h>

#include <string>

#include "kxtest.h"

class StandinRun {
 public:
  // commandLine names the program by full path. With windowed set, waits
  // until the program waits for input (its window shown); a program without
  // a message loop never does.
  explicit StandinRun(const std::string& commandLine, bool windowed = false) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi_))
      return;
    if (windowed) WaitForInputIdle(pi_.hProcess, 10000);
  }
  ~StandinRun() {
    if (!pi_.hProcess) return;
    TerminateProcess(pi_.hProcess, 0);
    WaitForSingleObject(pi_.hProcess, 5000);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  StandinRun(const StandinRun&) = delete;
  StandinRun& operator=(const StandinRun&) = delete;
  bool started() const { return pi_.hProcess != nullptr; }
  DWORD pid() const { return pi_.dwProcessId; }
  HANDLE process() const { return pi_.hProcess; }

 private:
  PROCESS_INFORMATION pi_ = {};
};
