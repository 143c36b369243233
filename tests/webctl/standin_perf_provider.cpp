// Stand-in performance-data provider: Wine has no Process object of its
// own, so the NT tests register this DLL under
// HKLM\System\CurrentControlSet\Services\<name>\Performance. It publishes a
// "Process" object (index 230) with an "ID Process" counter (index 784, not
// the first counter) for every process of a tool-help snapshot, plus the
// "Idle" and "_Total" instances that read id 0 on Windows.
//
// The querying process steers it through its environment (the provider
// runs inside that process):
//   KX_STANDIN_PERF_MODE   "" publish; "more:N" answer ERROR_MORE_DATA to the
//                          first N collects, then publish; "always-more";
//                          "newer" (or "newer-windowed", which waits for its
//                          window) publish, and list as "inetinfo" a process
//                          started during the first such collect from the
//                          command line in KX_STANDIN_PERF_NEWER: an id in
//                          the data that names a process newer than the data
//   KX_STANDIN_PERF_NEWER_PID  that process's id (written back)
//   KX_STANDIN_PERF_CALLS  collects so far (written back by the provider)
//   KX_STANDIN_PERF_SIZES  the sizes offered, comma-separated (written back)
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "perf_block_builder.h"

namespace {

constexpr DWORD kProcessObject = 230;
constexpr size_t kEnvCapacity = 8192;

std::string GetEnv(const char* name) {
  char buffer[kEnvCapacity];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n == 0 || n >= sizeof buffer ? std::string() : std::string(buffer, n);
}

std::u16string WithoutExe(const char* exe) {
  std::string name(exe);
  size_t slash = name.find_last_of('\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".exe") == 0)
    name.resize(name.size() - 4);
  return std::u16string(name.begin(), name.end());
}

DWORD StartNewer(bool waitForWindow) {
  const std::string started = GetEnv("KX_STANDIN_PERF_NEWER_PID");
  if (!started.empty()) return strtoul(started.c_str(), nullptr, 10);
  std::string command = GetEnv("KX_STANDIN_PERF_NEWER");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return 0;
  if (waitForWindow) WaitForInputIdle(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  SetEnvironmentVariableA("KX_STANDIN_PERF_NEWER_PID", std::to_string(pi.dwProcessId).c_str());
  return pi.dwProcessId;
}

perftest::Object ProcessObject() {
  perftest::Object o;
  o.titleIndex = kProcessObject;
  o.counters = {{6, 8}, {784, 16}, {180, 24}};  // the id counter second
  o.instances.push_back({u"Idle", 0});
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32First(snapshot, &pe); ok; ok = Process32Next(snapshot, &pe))
      o.instances.push_back({WithoutExe(pe.szExeFile), pe.th32ProcessID});
    CloseHandle(snapshot);
  }
  const std::string mode = GetEnv("KX_STANDIN_PERF_MODE");
  if (mode.compare(0, 5, "newer") == 0)
    o.instances.push_back({u"inetinfo", StartNewer(mode != "newer")});
  o.instances.push_back({u"_Total", 0});
  return o;
}

// Wine 8.0 hands the first provider a pointer 88 bytes (one
// PERF_DATA_BLOCK) beyond the place its data belongs, with a size counted
// from that place; the caller then reads the object at the block's
// HeaderLength and gets only the reported size. Find the block header just
// before the pointer and write where the data belongs: the offered size
// then ends exactly at the end of the caller's buffer.
constexpr size_t kWineSkew = 88;

uint8_t* Destination(void* data) {
  uint8_t* p = static_cast<uint8_t*>(data);
  static const char16_t kSig[4] = {u'P', u'E', u'R', u'F'};
  for (size_t back = 8; back <= 1024; back += 8) {
    if (memcmp(p - back, kSig, 8) != 0) continue;
    uint32_t headerLength;
    memcpy(&headerLength, p - back + 24, 4);
    return back == headerLength + kWineSkew ? p - kWineSkew : p;
  }
  return p;
}

void Record(DWORD offered) {
  std::string calls = GetEnv("KX_STANDIN_PERF_CALLS");
  SetEnvironmentVariableA("KX_STANDIN_PERF_CALLS",
                          std::to_string(atoi(calls.c_str()) + 1).c_str());
  std::string sizes = GetEnv("KX_STANDIN_PERF_SIZES");
  if (sizes.size() < kEnvCapacity - 16) sizes += std::to_string(offered) + ",";
  SetEnvironmentVariableA("KX_STANDIN_PERF_SIZES", sizes.c_str());
}

}  // namespace

extern "C" {

DWORD WINAPI StandinOpen(LPWSTR) { return ERROR_SUCCESS; }
DWORD WINAPI StandinClose() { return ERROR_SUCCESS; }

DWORD WINAPI StandinCollect(LPWSTR valueName, LPVOID* data, LPDWORD totalBytes,
                            LPDWORD numObjectTypes) {
  const DWORD offered = *totalBytes;
  *numObjectTypes = 0;
  Record(offered);
  const std::string mode = GetEnv("KX_STANDIN_PERF_MODE");
  const int calls = atoi(GetEnv("KX_STANDIN_PERF_CALLS").c_str());
  if (mode == "always-more" ||
      (mode.compare(0, 5, "more:") == 0 && calls <= atoi(mode.c_str() + 5))) {
    *totalBytes = 0;
    return ERROR_MORE_DATA;
  }
  // Only the process object, and the "Global" set that holds it.
  std::u16string query = valueName ? reinterpret_cast<const char16_t*>(valueName) : u"Global";
  if (query != u"230" && query != u"Global") {
    *totalBytes = 0;
    return ERROR_SUCCESS;
  }
  std::vector<uint8_t> object;
  perftest::AppendObject(object, ProcessObject());
  if (object.size() > offered) {
    *totalBytes = 0;
    return ERROR_MORE_DATA;
  }
  uint8_t* destination = Destination(*data);
  memcpy(destination, object.data(), object.size());
  *data = destination + object.size();
  *totalBytes = static_cast<DWORD>(object.size());
  *numObjectTypes = 1;
  return ERROR_SUCCESS;
}

}  // extern "C"
