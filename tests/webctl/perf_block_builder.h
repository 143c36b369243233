// Builds performance-data blocks laid out as Windows publishes them, for the
// parser's tests, its fuzzer and the stand-in performance provider.
#pragma once
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace perftest {

struct Instance {
  std::u16string name;
  uint32_t id;
};

// A counter of the object: its title index and where its 4-byte value lies
// in each instance's counter block.
struct Counter {
  uint32_t titleIndex;
  uint32_t offset;
};

struct Object {
  uint32_t titleIndex = 230;
  uint32_t idCounterIndex = 784;  // the counter whose value is the instance's id
  std::vector<Counter> counters = {{6, 8}, {784, 16}};
  std::vector<Instance> instances;
};

// Where the fields of the first object lie, for the corruption tests.
struct Layout {
  size_t object = 0;
  size_t definitions = 0;
  std::vector<size_t> instances;
  std::vector<size_t> counterBlocks;
  size_t end = 0;  // end of the first object
};

constexpr size_t kDataBlockSize = 88;
constexpr size_t kObjectSize = 64;
constexpr size_t kDefinitionSize = 40;
constexpr size_t kInstanceSize = 24;

inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) { memcpy(&b[at], &v, 4); }
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  uint32_t v;
  memcpy(&v, &b[at], 4);
  return v;
}
inline size_t Align8(size_t n) { return (n + 7) & ~size_t{7}; }

// Appends one object at the end of b (8-byte aligned, as Windows keeps it).
inline void AppendObject(std::vector<uint8_t>& b, const Object& o, Layout* layout = nullptr) {
  b.resize(Align8(b.size()));
  const size_t object = b.size();
  const size_t definitions = object + kObjectSize;
  b.resize(definitions + o.counters.size() * kDefinitionSize);
  uint32_t blockData = 8;
  for (const Counter& c : o.counters)
    if (c.offset + 4 > blockData) blockData = c.offset + 4;
  const uint32_t counterBlockLength = static_cast<uint32_t>(Align8(blockData));
  for (size_t i = 0; i < o.counters.size(); ++i) {
    size_t d = definitions + i * kDefinitionSize;
    Put32(b, d, kDefinitionSize);
    Put32(b, d + 4, o.counters[i].titleIndex);
    Put32(b, d + 28, 0x10000);  // PERF_COUNTER_RAWCOUNT-like type
    Put32(b, d + 32, 4);
    Put32(b, d + 36, o.counters[i].offset);
  }
  const size_t firstInstance = b.size();
  if (layout) {
    layout->object = object;
    layout->definitions = definitions;
  }
  for (const Instance& inst : o.instances) {
    const size_t at = b.size();
    const size_t nameBytes = (inst.name.size() + 1) * 2;
    const size_t length = Align8(kInstanceSize + nameBytes);
    b.resize(at + length + counterBlockLength);
    Put32(b, at, static_cast<uint32_t>(length));
    Put32(b, at + 12, 0xFFFFFFFF);  // no unique id
    Put32(b, at + 16, kInstanceSize);
    Put32(b, at + 20, static_cast<uint32_t>(nameBytes));
    memcpy(&b[at + kInstanceSize], inst.name.data(), inst.name.size() * 2);
    const size_t counters = at + length;
    Put32(b, counters, counterBlockLength);
    for (const Counter& c : o.counters)
      Put32(b, counters + c.offset,
            c.titleIndex == o.idCounterIndex ? inst.id : 0xC0DE0000u + c.titleIndex);
    if (layout) {
      layout->instances.push_back(at);
      layout->counterBlocks.push_back(counters);
    }
  }
  Put32(b, object, static_cast<uint32_t>(b.size() - object));       // TotalByteLength
  Put32(b, object + 4, static_cast<uint32_t>(firstInstance - object));  // DefinitionLength
  Put32(b, object + 8, kObjectSize);                                 // HeaderLength
  Put32(b, object + 12, o.titleIndex);
  Put32(b, object + 32, static_cast<uint32_t>(o.counters.size()));
  Put32(b, object + 36, 0xFFFFFFFF);  // no default counter
  Put32(b, object + 40, static_cast<uint32_t>(o.instances.size()));
  if (layout) layout->end = b.size();
}

// A whole block: the data block header with a system name, then the objects.
inline std::vector<uint8_t> BuildBlock(const std::vector<Object>& objects,
                                       Layout* first = nullptr) {
  static const char16_t kSystem[] = u"KXHOST";
  const size_t nameBytes = sizeof kSystem;
  const size_t header = Align8(kDataBlockSize + nameBytes);
  std::vector<uint8_t> b(header, 0);
  const char16_t sig[4] = {u'P', u'E', u'R', u'F'};
  memcpy(&b[0], sig, 8);
  Put32(b, 8, 1);   // little-endian
  Put32(b, 12, 1);  // version
  Put32(b, 16, 1);  // revision
  Put32(b, 24, static_cast<uint32_t>(header));
  Put32(b, 28, static_cast<uint32_t>(objects.size()));
  Put32(b, 80, static_cast<uint32_t>(nameBytes));
  Put32(b, 84, kDataBlockSize);
  memcpy(&b[kDataBlockSize], kSystem, nameBytes);
  for (size_t i = 0; i < objects.size(); ++i) AppendObject(b, objects[i], i == 0 ? first : nullptr);
  Put32(b, 20, static_cast<uint32_t>(b.size()));  // TotalByteLength
  return b;
}

}  // namespace perftest
