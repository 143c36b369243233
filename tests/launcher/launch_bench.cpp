// Launch benchmark (run by tests/launcher/bench-launch under Wine): starts
// kxlaunch.exe with the stand-in virtual machine and two yardsticks in turn,
// the same way and with the same arguments: a trivial console program, and
// one that only reads InstallPath from the registry. Prints each one's
// times and kxlaunch's ratio to both. Not a test: the numbers go to the
// report.
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "kxtest.h"

using namespace kxtest;

namespace {

struct Program {
  const char* label;
  std::string command;
  std::vector<double> seconds;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Mean(const std::vector<double>& v) {
  double sum = 0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? atoi(argv[1]) : 40;
  if (rounds < 1) rounds = 1;
  const std::string install = "C:\\kxbench\\Kestrix 2.0";
  if (!MakeDirs(install + "\\jre\\bin\\classic") ||
      !CopyTo(BinPath("jvm.dll"), install + "\\jre\\bin\\classic\\jvm.dll")) {
    fprintf(stderr, "bench: can't set up %s\n", install.c_str());
    return 1;
  }
  RegWriteSz(HKEY_LOCAL_MACHINE, "Software\\Veltrana\\Kestrix\\2.0\\Installation", "InstallPath",
             install);
  SetEnvironmentVariableA("KX_STANDIN_JVM_LOG", nullptr);  // no recording
  const std::string args = " one two \"three four\"";
  std::vector<Program> programs = {
      {"kxlaunch.exe + stand-in VM", "\"" + BinPath("kxlaunch.exe") + "\"" + args, {}},
      {"trivial console program", "\"" + BinPath("bench_trivial.exe") + "\"" + args, {}},
      {"registry-reading program", "\"" + BinPath("bench_registry.exe") + "\"" + args, {}},
  };

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  // One start of each first, not counted: the first start loads Wine's DLLs.
  for (const Program& p : programs) Run(p.command, install);
  for (int round = 0; round < rounds; ++round) {
    // Each round starts with another program, so none always follows another.
    for (size_t k = 0; k < programs.size(); ++k) {
      Program& p = programs[(round + k) % programs.size()];
      LARGE_INTEGER start, stop;
      QueryPerformanceCounter(&start);
      RunResult r = Run(p.command, install);
      QueryPerformanceCounter(&stop);
      if (!r.started || !r.finished || r.exitCode != 0) {
        fprintf(stderr, "bench: %s failed (exit %lu)\n", p.label, r.exitCode);
        return 1;
      }
      p.seconds.push_back(static_cast<double>(stop.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart));
    }
  }
  printf("rounds: %d, each program started once per round, in rotating order\n", rounds);
  for (const Program& p : programs)
    printf("%-28s mean %6.1f ms, median %6.1f ms\n", p.label, 1000 * Mean(p.seconds),
           1000 * Median(p.seconds));
  for (size_t i = 1; i < programs.size(); ++i)
    printf("ratio to the %s: mean %.3f, median %.3f (goal for the trivial one: at most 1.10)\n",
           programs[i].label, Mean(programs[0].seconds) / Mean(programs[i].seconds),
           Median(programs[0].seconds) / Median(programs[i].seconds));
  return 0;
}
