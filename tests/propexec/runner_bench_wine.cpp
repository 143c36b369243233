// Benchmark, not a test: under Wine, the time from starting propexec until
// its child has ended, against starting the same child directly, as a
// ratio measured in one run (the two alternate, so drift hits both alike).
// Run by hand inside a test prefix, for example:
//   KX_WINE_TEMPLATE=$B/wine/template KX_WINE_WORK=$B/wine/runs KX_WIN_ARCH=x86_64 \
//   KX_BIN_DIR=$B/bin scripts/wine-run --name bench -- $B/bin/propexec_runner_bench.exe [runs]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "kxtest.h"

using namespace kxtest;

namespace {

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Timed(const std::string& commandLine, const std::string& cwd) {
  double start = Seconds();
  RunResult run = Run(commandLine, cwd);
  double took = Seconds() - start;
  if (!run.started || !run.finished) {
    fprintf(stderr, "could not run %s\n", commandLine.c_str());
    exit(1);
  }
  return took;
}

void Compare(const char* what, const char* runner, const std::string& dir, int runs) {
  const std::string direct = "\"" + dir + "\\java.exe\" -Xmx64m Main";
  const std::string viaRunner =
      "\"" + BinPath(runner) + "\" \"" + dir + "\\smon.properties\"";
  Timed(direct, dir);  // warm-up
  Timed(viaRunner, dir);
  double directTotal = 0, runnerTotal = 0;
  for (int i = 0; i < runs; ++i) {
    directTotal += Timed(direct, dir);
    runnerTotal += Timed(viaRunner, dir);
  }
  double d = directTotal / runs * 1e3, r = runnerTotal / runs * 1e3;
  printf("%-26s direct %7.1f ms  via %-13s %7.1f ms  overhead %5.1f ms  ratio %.3f\n", what,
         d, runner, r, r - d, r / d);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? atoi(argv[1]) : 20;
  std::string dir = TempDir();
  if (!CopyTo(BinPath("recording_java_standin.exe"), dir + "\\java.exe") ||
      !WriteFile(dir + "\\smon.properties",
                 "java.exe=java.exe\njava.args=-Xmx64m Main\n")) {
    fprintf(stderr, "set-up failed\n");
    return 1;
  }
  SetEnvironmentVariableA("KX_RECORD_FILE", (dir + "\\record.txt").c_str());
  printf("%d runs each, alternating\n", runs);
  Compare("child that exits at once", "propexec.exe", dir, runs);
  Compare("child that exits at once", "propexecw.exe", dir, runs);
  // A child that takes as long as a small Java program's start.
  SetEnvironmentVariableA("KX_RECORD_WAIT_MS", "500");
  Compare("child that runs 500 ms", "propexec.exe", dir, runs / 2 > 0 ? runs / 2 : 1);
  return 0;
}
