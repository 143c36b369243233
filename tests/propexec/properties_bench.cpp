// Benchmark, not a test: parses a 2048-key, 1 MiB properties file from disk
// and reports the time per parse and the throughput. Built optimised and
// without sanitizers; run it by hand:
//   build/<host>/tests/propexec/propexec_properties_bench [iterations]
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "properties.h"

namespace {

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void Release(PropertyTable* table) {
  for (int i = 0; i < table->count; ++i) {
    free(table->entries[i].key);
    free(table->entries[i].value);
  }
  free(table);
}

// 2048 keys and values with CR LF line ends, a few comments and escapes,
// padded to exactly 1 MiB: each line is about 512 bytes.
std::string MakeFile() {
  const size_t target = 1 << 20;
  std::string text;
  for (int i = 0; i < 2048; ++i) {
    if (i % 64 == 0) text += "# section " + std::to_string(i / 64) + "\r\n";
    std::string key = "kestrix.setting." + std::to_string(i);
    std::string line = key + "=C:\\\\Program Files\\\\Veltrana\\\\Kestrix 2.0\\\\lib\\\\";
    size_t room = (target - text.size()) / static_cast<size_t>(2048 - i);
    while (line.size() + 2 < room) line += static_cast<char>('a' + (line.size() % 26));
    text += line + "\r\n";
  }
  while (text.size() < target) text.insert(0, "\n");
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  int iterations = argc > 1 ? atoi(argv[1]) : 200;
  std::string text = MakeFile();
  char path[] = "/tmp/propbenchXXXXXX";
  int fd = mkstemp(path);
  if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return 1;
  close(fd);

  // The first parse is the one a fresh runner process does: its heap pages
  // are touched for the first time.
  double coldStart = Now();
  PropertyTable* check = LoadProperties(path, nullptr);
  double cold = Now() - coldStart;
  if (!check || check->count != 2048) {
    fprintf(stderr, "unexpected parse: %d entries\n", check ? check->count : -1);
    return 1;
  }
  Release(check);
  // Keep freed memory in the process, so the repeated parses measure the
  // reader rather than the heap giving pages back and faulting them in again.
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_TOP_PAD, 16 << 20);

  double best = 1e9, total = 0;
  for (int i = 0; i < iterations; ++i) {
    double start = Now();
    PropertyTable* table = LoadProperties(path, nullptr);
    double took = Now() - start;
    Release(table);
    total += took;
    if (took < best) best = took;
  }
  unlink(path);
  double mean = total / iterations;
  double mib = static_cast<double>(text.size()) / (1 << 20);
  printf("file: %zu bytes, 2048 keys, CR LF line ends (page cache warm)\n", text.size());
  printf("first parse in this process: %.3f ms\n", cold * 1e3);
  printf("parse: best %.3f ms, mean %.3f ms over %d runs\n", best * 1e3, mean * 1e3, iterations);
  printf("throughput: %.0f MiB/s (best), %.0f MiB/s (mean)\n", mib / best, mib / mean);
  return 0;
}
