// Measures the block parser on a 255-instance block (not a test: run it by
// hand and read the numbers).
#include <stdio.h>

#include <chrono>

#include "perf_block_builder.h"
#include "webctl.h"

int main() {
  perftest::Object o;
  o.counters = {{6, 8}, {180, 16}, {172, 24}, {784, 32}};
  for (uint32_t i = 0; i < 255; ++i)
    o.instances.push_back({u"service-host-process-" + std::u16string(1, u'a' + i % 26), 4 * i + 8});
  std::vector<uint8_t> block = perftest::BuildBlock({o});
  PerfProcessRecord records[255];
  constexpr int kRounds = 20000;
  size_t total = 0;
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRounds; ++i)
    total += ParsePerfProcessBlock(block.data(), block.size(), 784, records, 255);
  auto elapsed = std::chrono::steady_clock::now() - start;
  double us = std::chrono::duration<double, std::micro>(elapsed).count() / kRounds;
  printf("255-instance block (%zu bytes): %.2f us a parse, %zu records each\n", block.size(), us,
         total / kRounds);
  return total == 255u * kRounds ? 0 : 1;
}
