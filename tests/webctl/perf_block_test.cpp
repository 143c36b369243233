// The NT process fill's reading of a performance-data block, on blocks built
// here the way Windows lays them out, and on blocks cut short or corrupted.
#include <gtest/gtest.h>

#include <functional>

#include "perf_block_builder.h"
#include "webctl.h"

using perftest::BuildBlock;
using perftest::Instance;
using perftest::Layout;
using perftest::Object;
using perftest::Put32;

namespace {

constexpr size_t kCapacity = 255;  // what FindProcess's fill hands over

struct Parsed {
  std::vector<std::u16string> names;
  std::vector<uint32_t> ids;
};

// Parses a copy of exactly size bytes, so that ASan sees any read beyond.
size_t Parse(const std::vector<uint8_t>& block, size_t size, Parsed* out = nullptr,
             uint32_t idIndex = 784, size_t capacity = kCapacity) {
  std::vector<uint8_t> exact(block.begin(), block.begin() + size);
  std::vector<PerfProcessRecord> records(capacity + 1, PerfProcessRecord{77, 77, 77});
  size_t n = ParsePerfProcessBlock(exact.data(), exact.size(), idIndex, records.data(), capacity);
  EXPECT_EQ(records[capacity].processId, 77u) << "record written past the capacity";
  for (size_t i = 0; out && i < n; ++i) {
    const PerfProcessRecord& r = records[i];
    EXPECT_LE(r.nameOffset + 2 * (r.nameUnits + 1), size);
    std::u16string name(r.nameUnits, u'\0');
    memcpy(&name[0], &exact[r.nameOffset], 2 * r.nameUnits);
    out->names.push_back(name);
    out->ids.push_back(r.processId);
  }
  return n;
}

Object Processes() {
  Object o;
  o.instances = {{u"Idle", 0}, {u"System", 4}, {u"inetinfo", 1234}, {u"smon", 88},
                 {u"_Total", 0}};
  return o;
}

TEST(PerfBlock, YieldsEveryInstanceInOrderWithItsNameAndId) {
  std::vector<uint8_t> block = BuildBlock({Processes()});
  Parsed p;
  ASSERT_EQ(Parse(block, block.size(), &p), 5u);
  EXPECT_EQ(p.names, (std::vector<std::u16string>{u"Idle", u"System", u"inetinfo", u"smon",
                                                   u"_Total"}));
  EXPECT_EQ(p.ids, (std::vector<uint32_t>{0, 4, 1234, 88, 0}));
}

TEST(PerfBlock, FindsTheIdCounterWhereverItsDefinitionStands) {
  Object o = Processes();
  o.counters = {{6, 8}, {180, 24}, {784, 12}, {784, 32}};  // the first 784 counts
  std::vector<uint8_t> block = BuildBlock({o});
  Parsed p;
  ASSERT_EQ(Parse(block, block.size(), &p), 5u);
  EXPECT_EQ(p.ids[2], 1234u);

  // Definitions are stepped by 40 bytes whatever their ByteLength says.
  Layout l;
  block = BuildBlock({o}, &l);
  for (size_t i = 0; i < o.counters.size(); ++i) Put32(block, l.definitions + 40 * i, 4000);
  Parsed q;
  ASSERT_EQ(Parse(block, block.size(), &q), 5u);
  EXPECT_EQ(q.ids, p.ids);
}

TEST(PerfBlock, AnObjectWithoutTheIdCounterGivesNothing) {
  Object o = Processes();
  o.counters = {{6, 8}, {180, 16}};
  std::vector<uint8_t> block = BuildBlock({o});
  EXPECT_EQ(Parse(block, block.size()), 0u);
  // The counter names may place the id counter elsewhere.
  o.counters = {{6, 8}, {1000, 16}};
  o.idCounterIndex = 1000;
  block = BuildBlock({o});
  EXPECT_EQ(Parse(block, block.size(), nullptr, 1000), 5u);
  EXPECT_EQ(Parse(block, block.size(), nullptr, 784), 0u);
}

TEST(PerfBlock, StopsAtTheCapacity) {
  Object o;
  for (uint32_t i = 0; i < 300; ++i) o.instances.push_back({u"p" + std::u16string(1, u'a' + i % 26), i + 1});
  std::vector<uint8_t> block = BuildBlock({o});
  Parsed p;
  ASSERT_EQ(Parse(block, block.size(), &p), kCapacity);
  EXPECT_EQ(p.ids.back(), 255u);
  EXPECT_EQ(Parse(block, block.size(), nullptr, 784, 3), 3u);
  // Instances beyond the capacity are not read: a block cut after the
  // third one still gives three.
  Layout l;
  block = BuildBlock({o}, &l);
  EXPECT_EQ(Parse(block, l.instances[3], nullptr, 784, 3), 3u);
}

TEST(PerfBlock, OnlyTheFirstObjectIsRead) {
  Object other;
  other.titleIndex = 238;
  other.instances = {{u"elsewhere", 999}};
  std::vector<uint8_t> block = BuildBlock({Processes(), other});
  Parsed p;
  ASSERT_EQ(Parse(block, block.size(), &p), 5u);
  EXPECT_EQ(p.names.back(), u"_Total");
  // And a first object that is not the process object is still taken as it.
  block = BuildBlock({other, Processes()});
  ASSERT_EQ(Parse(block, block.size(), &p), 1u);
}

TEST(PerfBlock, NoInstancesGivesNothing) {
  Object o;
  std::vector<uint8_t> block = BuildBlock({o});
  EXPECT_EQ(Parse(block, block.size()), 0u);
  Layout l;
  block = BuildBlock({o}, &l);
  Put32(block, l.object + 40, 0xFFFFFFFF);  // PERF_NO_INSTANCES
  EXPECT_EQ(Parse(block, block.size()), 0u);
}

TEST(PerfBlock, EveryTruncationGivesNothingAndReadsNothingBeyond) {
  std::vector<uint8_t> block = BuildBlock({Processes()});
  ASSERT_EQ(Parse(block, block.size()), 5u);
  for (size_t size = 0; size < block.size(); ++size)
    ASSERT_EQ(Parse(block, size), 0u) << "cut at " << size;
}

TEST(PerfBlock, CorruptedFieldsGiveNothing) {
  Layout l;
  const std::vector<uint8_t> good = BuildBlock({Processes()}, &l);
  const uint32_t size = static_cast<uint32_t>(good.size());
  const size_t inst = l.instances[2], counters = l.counterBlocks[2];
  const uint32_t instLength = perftest::Get32(good, inst);
  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
  };
  const Case cases[] = {
      {"signature", 0, 0x00450051},
      {"block HeaderLength at the end", 24, size - 8},
      {"block HeaderLength huge", 24, 0xFFFFFFF0},
      {"object HeaderLength past the end", l.object + 8, size},
      {"NumCounters too many", l.object + 32, 1000},
      {"NumCounters overflowing 32 bits", l.object + 32, 0x06666667},
      {"DefinitionLength past the end", l.object + 4, size},
      {"DefinitionLength huge", l.object + 4, 0xFFFFFFF8},
      {"instance ByteLength 0", inst, 0},
      {"instance ByteLength shorter than its header", inst, 20},
      {"instance ByteLength past the end", inst, size},
      {"instance ByteLength huge", inst, 0xFFFFFFF8},
      {"NameOffset past ByteLength", inst + 16, instLength},
      {"NameOffset inside the header", inst + 16, 8},
      {"NameOffset odd", inst + 16, 25},
      {"NameOffset huge", inst + 16, 0xFFFFFFFE},
      {"counter block ByteLength 0", counters, 0},
      {"counter block ByteLength too short for the id", counters, 16},
      {"counter block ByteLength past the end", counters, size},
      {"counter block ByteLength huge", counters, 0xFFFFFFFC},
      {"CounterOffset past the counter block", l.definitions + 40 + 36, 24},
      {"CounterOffset with 3 bytes left", l.definitions + 40 + 36, 21},
      {"CounterOffset huge", l.definitions + 40 + 36, 0xFFFFFFFE},
      {"NumInstances past the end", l.object + 40, 6},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bad = good;
    Put32(bad, c.at, c.value);
    EXPECT_EQ(Parse(bad, bad.size()), 0u) << c.what;
  }
  // A name whose NUL is missing up to the end of its definition.
  std::vector<uint8_t> bad = good;
  for (size_t at = inst + 24; at < inst + instLength; at += 4) Put32(bad, at, 0x00610061);
  EXPECT_EQ(Parse(bad, bad.size()), 0u) << "name without its NUL";
}

}  // namespace
