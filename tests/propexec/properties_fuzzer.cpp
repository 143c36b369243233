// Fuzzes the properties reader: any bytes, read in chunks of a size the
// input picks, must parse without a fault into the same entries as a plain
// character-by-character reading of the format, within the size limits.
#include <stdlib.h>
#include <string.h>

#include <string>
#include <utility>
#include <vector>

#include "memory_source.h"
#include "properties.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// What a text-mode read of the bytes gives.
std::string TextMode(const std::string& raw) {
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == 0x1A) break;
    if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
    out += raw[i];
  }
  return out;
}

std::string CText(const std::string& s) { return s.substr(0, s.find('\0')); }

// The format read one character at a time, fgets-style for the value.
Entries Reference(const std::string& raw) {
  const std::string t = TextMode(raw);
  size_t i = 0;
  auto get = [&]() -> int { return i < t.size() ? static_cast<unsigned char>(t[i++]) : -1; };
  Entries out;
  for (;;) {
    int c = get();
    if (c < 0) break;
    if (c == '#') {
      do c = get();
      while (c >= 0 && c != '\n' && c != '\r');
      continue;
    }
    if (c == '\n' || c == '\r') continue;
    std::string key(1, static_cast<char>(c));
    for (;;) {
      c = get();
      if (c < 0) return out;
      if (c == '=') break;
      if (key.size() < kPropertyKeyMax) key += static_cast<char>(c);
    }
    std::string line;
    while (line.size() < kPropertyValueMax) {
      c = get();
      if (c < 0) break;
      line += static_cast<char>(c);
      if (c == '\n') break;
    }
    bool whole = !line.empty() && line.back() == '\n';
    std::string value;
    line = CText(line);
    for (size_t j = 0; j < line.size(); ++j) {
      if (line[j] == '\\' && ++j == line.size()) break;
      value += line[j];
    }
    if (!whole) {
      do c = get();
      while (c >= 0 && c != '\n');
    }
    for (int k = 0; k < 2 && !value.empty() && (value.back() == '\n' || value.back() == '\r'); ++k)
      value.pop_back();
    if (out.size() < static_cast<size_t>(kPropertyCapacity)) out.emplace_back(CText(key), value);
  }
  return out;
}

struct Heap {
  PropertyAllocator ops;
  Heap() { InitDefaultPropertyAllocator(&ops); }
};

void Release(PropertyTable* table) {
  for (int i = 0; i < table->count; ++i) {
    free(table->entries[i].key);
    free(table->entries[i].value);
  }
  free(table);
}

// Lets short inputs reach the limits (1023-character keys, 4095-character
// lines, 2048 entries): a 0xFF byte followed by n repeats the last up to 8
// bytes (n + 1) * 16 times.
std::string Expand(const uint8_t* data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0xFF || i + 1 == size) {
      out += static_cast<char>(data[i]);
      continue;
    }
    size_t times = (static_cast<size_t>(data[++i]) + 1) * 16;
    std::string unit = out.substr(out.size() > 8 ? out.size() - 8 : 0);
    for (size_t t = 0; t < times && out.size() < (64u << 10); ++t) out += unit;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  size_t chunk = data[0] % 24;  // 0: as much as fits
  std::string text = Expand(data + 1, size - 1);
  Heap heap;
  PropertyTable* table = ParseMemory(&heap.ops, text, chunk);
  if (!table) abort();
  if (table->count < 0 || table->count > kPropertyCapacity) abort();
  Entries got;
  for (int i = 0; i < table->count; ++i) {
    const PropertyEntry& e = table->entries[i];
    if (!e.key || !e.value) abort();
    if (strlen(e.key) > kPropertyKeyMax || strlen(e.value) > kPropertyValueMax) abort();
    got.emplace_back(e.key, e.value);
    // The look-up finds the first entry with this key.
    const char* found = GetProperty(table, e.key);
    for (int j = 0; j <= i; ++j) {
      if (strcmp(table->entries[j].key, e.key) == 0) {
        if (found != table->entries[j].value) abort();
        break;
      }
    }
  }
  if (got != Reference(text)) abort();
  Release(table);
  return 0;
}
