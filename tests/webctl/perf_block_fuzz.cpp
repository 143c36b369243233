// Fuzzes the NT fill's block parser and the counter-name list reader.
// Half of the inputs are blocks as they come; the other half are patches
// applied to a well-formed block, which reach the instance walk far more
// often than random bytes do.
#include <stdlib.h>

#include "perf_block_builder.h"
#include "webctl.h"

namespace {

const std::vector<uint8_t>& Template() {
  static const std::vector<uint8_t> block = [] {
    perftest::Object o;
    o.counters = {{6, 8}, {784, 16}, {12, 28}};
    o.instances = {{u"Idle", 0}, {u"inetinfo", 1234}, {u"smon", 88}, {u"x", 7}};
    return perftest::BuildBlock({o, o});
  }();
  return block;
}

void Check(const uint8_t* block, size_t size) {
  PerfProcessRecord records[256];
  size_t n = ParsePerfProcessBlock(block, size, 784, records, 255);
  if (n > 255) abort();
  for (size_t i = 0; i < n; ++i) {
    const PerfProcessRecord& r = records[i];
    // Every name lies in the block with its NUL.
    if (r.nameOffset % 2 || r.nameOffset + 2 * (r.nameUnits + 1) > size) abort();
    uint16_t last;
    memcpy(&last, block + r.nameOffset + 2 * r.nameUnits, 2);
    if (last != 0) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  PerfCounterNames names;
  ParseCounterNames(reinterpret_cast<const char*>(data), size, &names);
  // The query's value name is always 1 to 10 digits.
  size_t digits = strnlen(names.processIndex, sizeof names.processIndex);
  if (digits == 0 || digits > 10) abort();
  for (size_t i = 0; i < digits; ++i)
    if (names.processIndex[i] < '0' || names.processIndex[i] > '9') abort();

  if (data[0] & 1) {
    Check(data, size);
    return 0;
  }
  // Patch mode: [cut: 2 bytes] then (offset: 2 bytes, value: 4 bytes)...
  std::vector<uint8_t> block = Template();
  if (size >= 3) {
    uint16_t cut;
    memcpy(&cut, data + 1, 2);
    if (cut < block.size()) block.resize(block.size() - cut % 64);
  }
  for (size_t at = 3; at + 6 <= size; at += 6) {
    uint16_t offset;
    uint32_t value;
    memcpy(&offset, data + at, 2);
    memcpy(&value, data + at + 2, 4);
    if (block.size() >= 4) memcpy(&block[offset % (block.size() - 3)], &value, 4);
  }
  // An exact-size heap copy, so that ASan sees any read beyond it.
  uint8_t* exact = static_cast<uint8_t*>(malloc(block.size() ? block.size() : 1));
  memcpy(exact, block.data(), block.size());
  Check(exact, block.size());
  free(exact);
  return 0;
}
