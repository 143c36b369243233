// Reads the process object out of a performance-data block as the registry
// returns it for HKEY_PERFORMANCE_DATA. The block comes from whatever
// providers are installed, so nothing in it is trusted: each structure is
// checked to lie within the returned size before it is read, and a block
// that fails any check gives no records at all.
#include <string.h>

#include "webctl.h"

namespace {

// Fixed sizes and field offsets of the published structures (the same on
// 32-bit and 64-bit Windows).
constexpr uint64_t kDataBlockSize = 88;  // PERF_DATA_BLOCK
constexpr uint64_t kDataBlockHeaderLength = 24;
constexpr uint64_t kObjectSize = 64;  // PERF_OBJECT_TYPE
constexpr uint64_t kObjectDefinitionLength = 4;
constexpr uint64_t kObjectHeaderLength = 8;
constexpr uint64_t kObjectNumCounters = 32;
constexpr uint64_t kObjectNumInstances = 40;
constexpr uint64_t kCounterDefinitionSize = 40;  // PERF_COUNTER_DEFINITION
constexpr uint64_t kCounterNameTitleIndex = 4;
constexpr uint64_t kCounterOffset = 36;
constexpr uint64_t kInstanceSize = 24;  // PERF_INSTANCE_DEFINITION
constexpr uint64_t kInstanceNameOffset = 16;
constexpr uint64_t kCounterBlockSize = 4;  // PERF_COUNTER_BLOCK
constexpr uint64_t kProcessIdSize = 4;

constexpr size_t kMaxIndexDigits = 10;

struct Block {
  const uint8_t* data;
  uint64_t size;
  // True when [offset, offset + length) lies within the block.
  bool Has(uint64_t offset, uint64_t length) const {
    return offset <= size && length <= size - offset;
  }
  uint32_t U32(uint64_t offset) const {
    uint32_t v;
    memcpy(&v, data + offset, sizeof v);
    return v;
  }
  uint16_t U16(uint64_t offset) const {
    uint16_t v;
    memcpy(&v, data + offset, sizeof v);
    return v;
  }
};

// The index that ends a string, if it ends in 1 to 10 digits.
bool TrailingDigits(const char* text, size_t length, const char** digits, size_t* count) {
  size_t n = 0;
  while (n < length && text[length - 1 - n] >= '0' && text[length - 1 - n] <= '9') ++n;
  if (n == 0 || n > kMaxIndexDigits) return false;
  *digits = text + length - n;
  *count = n;
  return true;
}

bool ParseIndex(const char* digits, size_t count, uint32_t* value) {
  uint64_t v = 0;
  for (size_t i = 0; i < count; ++i) v = v * 10 + static_cast<uint64_t>(digits[i] - '0');
  if (v > UINT32_MAX) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

void SetIndexText(char* out, uint32_t value) {
  char reversed[kPerfIndexTextCapacity];
  size_t n = 0;
  do {
    reversed[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (size_t i = 0; i < n; ++i) out[i] = reversed[n - 1 - i];
  out[n] = '\0';
}

bool EqualsIgnoringAsciiCase(const char* text, size_t length, const char* word) {
  if (strlen(word) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    char a = text[i], b = word[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

void ParseCounterNames(const char* list, size_t size, PerfCounterNames* names) {
  bool haveProcess = false, haveId = false;
  const char* previous = nullptr;
  size_t previousLength = 0;
  for (size_t at = 0; at < size;) {
    const char* text = list + at;
    size_t length = strnlen(text, size - at);
    if (length == 0) break;  // the empty string that ends the list
    const char* digits;
    size_t count;
    // A name's index is the string before it; a later match replaces an
    // earlier one.
    if (previous != nullptr && TrailingDigits(previous, previousLength, &digits, &count)) {
      uint32_t value;
      if (EqualsIgnoringAsciiCase(text, length, "process") && ParseIndex(digits, count, &value)) {
        SetIndexText(names->processIndex, value);
        haveProcess = true;
      } else if (EqualsIgnoringAsciiCase(text, length, "id process") &&
                 ParseIndex(digits, count, &value)) {
        names->idProcessIndex = value;
        haveId = true;
      }
    }
    previous = text;
    previousLength = length;
    at += length + 1;
  }
  if (!haveProcess) SetIndexText(names->processIndex, kPerfProcessObjectIndex);
  if (!haveId) names->idProcessIndex = kPerfIdProcessCounterIndex;
}

bool PerfBlockHasSignature(const uint8_t* block, size_t size) {
  static const char kSignature[] = "PERF";
  if (size < 8) return false;
  Block b = {block, size};
  for (uint64_t i = 0; i < 4; ++i)
    if (b.U16(2 * i) != static_cast<uint8_t>(kSignature[i])) return false;
  return true;
}

size_t ParsePerfProcessBlock(const uint8_t* block, size_t size, uint32_t idCounterIndex,
                             PerfProcessRecord* records, size_t capacity) {
  Block b = {block, size};
  if (capacity == 0 || !PerfBlockHasSignature(block, size) || !b.Has(0, kDataBlockSize)) return 0;

  // The first object is taken as the process object; any other is ignored.
  const uint64_t object = b.U32(kDataBlockHeaderLength);
  if (!b.Has(object, kObjectSize)) return 0;
  const uint64_t definitions = object + b.U32(object + kObjectHeaderLength);
  const uint64_t numCounters = b.U32(object + kObjectNumCounters);
  if (!b.Has(definitions, numCounters * kCounterDefinitionSize)) return 0;

  // Definitions are stepped by their fixed size, not by their ByteLength.
  uint64_t counterOffset = 0;
  bool haveCounter = false;
  for (uint64_t i = 0; i < numCounters && !haveCounter; ++i) {
    const uint64_t definition = definitions + i * kCounterDefinitionSize;
    if (b.U32(definition + kCounterNameTitleIndex) == idCounterIndex) {
      counterOffset = b.U32(definition + kCounterOffset);
      haveCounter = true;
    }
  }
  if (!haveCounter) return 0;

  // NumInstances is signed: PERF_NO_INSTANCES (-1) and other negatives
  // mean no instances.
  const int32_t numInstances = static_cast<int32_t>(b.U32(object + kObjectNumInstances));
  if (numInstances <= 0) return 0;
  const size_t count = static_cast<size_t>(numInstances) < capacity
                           ? static_cast<size_t>(numInstances) : capacity;

  uint64_t instance = object + b.U32(object + kObjectDefinitionLength);
  for (size_t n = 0; n < count; ++n) {
    if (!b.Has(instance, kInstanceSize)) return 0;
    const uint64_t instanceLength = b.U32(instance);
    const uint64_t nameOffset = b.U32(instance + kInstanceNameOffset);
    if (instanceLength < kInstanceSize || !b.Has(instance, instanceLength)) return 0;
    // The name lies within the instance definition, starts on a UTF-16
    // boundary and ends with a NUL before the definition does.
    if (nameOffset < kInstanceSize || nameOffset >= instanceLength ||
        (instance + nameOffset) % 2 != 0)
      return 0;
    const uint64_t name = instance + nameOffset;
    const uint64_t nameEnd = instance + instanceLength;
    uint64_t units = 0;
    while (name + 2 * units + 2 <= nameEnd && b.U16(name + 2 * units) != 0) ++units;
    if (name + 2 * units + 2 > nameEnd) return 0;

    const uint64_t counters = instance + instanceLength;
    if (!b.Has(counters, kCounterBlockSize)) return 0;
    const uint64_t countersLength = b.U32(counters);
    if (countersLength < kCounterBlockSize || !b.Has(counters, countersLength)) return 0;
    if (counterOffset > countersLength || kProcessIdSize > countersLength - counterOffset)
      return 0;

    records[n].nameOffset = static_cast<size_t>(name);
    records[n].nameUnits = static_cast<size_t>(units);
    records[n].processId = b.U32(counters + counterOffset);
    instance = counters + countersLength;
  }
  return count;
}
