// Fuzzes the properties reader: any bytes, read in chunks of a size the
// input picks and in a single-byte code page or code page 932, must parse
// without a fault into the same entries as the format, read line by line as
// it is written down, within the size limits.
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "memory_source.h"
#include "properties.h"

namespace {

// The input's expansion and the model below only prepare and check; their
// branches would steer the fuzzer nowhere useful and their comparisons cost
// more than the reader's own.
#define KX_NOT_STEERING __attribute__((no_sanitize("coverage")))

// The lead bytes of the Japanese double-byte code page 932.
bool Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// What a text-mode read of the bytes gives: CR LF reads as LF, and a
// Ctrl-Z ends the file.
KX_NOT_STEERING std::string TextMode(const std::string& raw) {
  const size_t end = std::min(raw.find('\x1A'), raw.size());
  std::string out;
  out.reserve(end);
  for (size_t at = 0; at < end;) {
    size_t cr = raw.find("\r\n", at);
    if (cr == std::string::npos || cr + 1 >= end) cr = end;
    out.append(raw, at, cr - at);
    at = cr + 1;  // past the CR of a pair; the LF starts the next run
  }
  return out;
}

// Where c next occurs in [p, end), or end.
KX_NOT_STEERING const char* Find(const char* p, const char* end, char c) {
  const void* at = memchr(p, c, static_cast<size_t>(end - p));
  return at ? static_cast<const char*>(at) : end;
}

// The table holds C strings: a text ends at its first NUL.
KX_NOT_STEERING bool SameText(const char* held, const char* p, size_t length) {
  length = static_cast<size_t>(Find(p, p + length, '\0') - p);
  return strlen(held) == length && memcmp(held, p, length) == 0;
}

// The format as it is written down, read line by line rather than as the
// reader goes about it, compared entry by entry with the table. Where the
// two disagree, the reader is wrong or the format has to say more.
KX_NOT_STEERING bool FollowsTheFormat(const std::string& raw, const PropertyTable* table,
                                      LeadByteTest isLeadByte) {
  const std::string text = TextMode(raw);
  const char* p = text.data();
  const char* const end = p + text.size();
  static char value[kPropertyValueMax + 1];
  int n = 0;
  while (p < end) {
    if (*p == '#') {  // a comment, up to and including the next CR or LF
      const char* lf = Find(p, end, '\n');
      p = Find(p, lf, '\r');
      if (p < end) ++p;
      continue;
    }
    if (*p == '\n' || *p == '\r') {  // line ends where a key would begin
      ++p;
      continue;
    }
    // The key: this character, taken literally, and everything up to the
    // next "=", line ends included; its first 1023 characters are kept. A
    // key that the end of the file cuts off is no entry.
    const char* eq = Find(p + 1, end, '=');
    if (eq == end) break;
    const char* key = p;
    const size_t keyLength = std::min(static_cast<size_t>(eq - p), kPropertyKeyMax);
    // The value: the rest of the line with its LF, at most 4095 characters;
    // the rest of a longer line goes, and the next line holds the next key.
    // (Right after the "=" the file may end: the value is then empty.)
    const char* next = Find(eq + 1, end, '\n');
    if (next < end) ++next;
    const char* line = eq + 1;
    const char* kept = line + std::min(static_cast<size_t>(next - line), kPropertyValueMax);
    const char* lineEnd = Find(line, kept, '\0');
    // The line goes on past the kept part with more than its LF: a lead
    // byte at the cut lost its second byte.
    const bool splitAtCut = lineEnd == kept && kept < next && *kept != '\n';
    p = next;
    // Characters: a lead byte and the byte after it on the line (never its
    // LF) are one. Every backslash that is a character of its own goes and
    // keeps the character after it; half a character at the cut goes. Then
    // one or two line-end characters go from the end.
    size_t length = 0;
    for (const char* c = line; c < lineEnd;) {
      if (*c == '\\' && ++c == lineEnd) break;
      const bool lead = isLeadByte && isLeadByte(static_cast<unsigned char>(*c));
      if (lead && c + 1 == lineEnd && splitAtCut) break;
      const size_t width = lead && c + 1 < lineEnd && c[1] != '\n' ? 2 : 1;
      for (size_t w = 0; w < width; ++w) value[length++] = *c++;
    }
    for (int k = 0; k < 2 && length > 0 && (value[length - 1] == '\n' || value[length - 1] == '\r');
         ++k)
      --length;
    if (n == kPropertyCapacity) continue;  // the table's room is used up
    if (n >= table->count) return false;
    const PropertyEntry& e = table->entries[n++];
    if (!SameText(e.key, key, keyLength) || !SameText(e.value, value, length)) return false;
  }
  return n == table->count;
}

// The reader's allocator for one input. The table (2048 entries, 16 KiB and
// more) is one block kept for every input: a fresh one each time would page
// in new memory, since ASan holds freed blocks back. The keys and values go
// one after the other into an arena that every input reuses: two heap
// blocks for each of up to 2048 entries would cost more than the parse. The
// reader never writes into a text it has stored, so no overrun check that
// matters is lost.
struct Heap {
  PropertyAllocator ops;  // first: the operations get the record itself
  std::vector<char>* arena;
  size_t used = 0;

  explicit Heap(size_t textSize) {
    static std::vector<char> texts;
    // Every key and value comes from distinct bytes of the text, each with
    // its NUL; an entry cut short at the end of the text adds an empty value.
    size_t needed = textSize + 2 * static_cast<size_t>(kPropertyCapacity) + 2;
    if (texts.size() < needed) texts.resize(needed);
    arena = &texts;
    ops.Allocate = [](PropertyAllocator*, int32_t size) -> void* {
      static void* const table = malloc(sizeof(PropertyTable));
      return size == static_cast<int32_t>(sizeof(PropertyTable)) ? table : malloc(size);
    };
    ops.Duplicate = [](PropertyAllocator* self, const char* text) -> char* {
      Heap* heap = reinterpret_cast<Heap*>(self);
      if (!text) text = "";
      size_t size = strlen(text) + 1;
      if (heap->arena->size() - heap->used < size) abort();  // the bound above is wrong
      char* copy = heap->arena->data() + heap->used;
      memcpy(copy, text, size);
      heap->used += size;
      return copy;
    };
    ops.Release = [](PropertyAllocator*, void*) {};  // the arena and the table stay
  }
};

// Lets short inputs reach the limits (1023-character keys, 4095-character
// lines, 2048 entries of three bytes): a 0xFF byte followed by n repeats the
// last up to 8 bytes (n + 1) * 16 times, up to 7 KiB in all, which is room
// enough for all of them.
constexpr size_t kExpandedMax = 7u << 10;
KX_NOT_STEERING std::string Expand(const uint8_t* data, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] != 0xFF || i + 1 == size) {
      out += static_cast<char>(data[i]);
      continue;
    }
    size_t times = (static_cast<size_t>(data[++i]) + 1) * 16;
    std::string unit = out.substr(out.size() > 8 ? out.size() - 8 : 0);
    for (size_t t = 0; t < times && out.size() < kExpandedMax; ++t) out += unit;
  }
  return out;
}

}  // namespace

// Every entry costs the reader two allocations, and ASan records where each
// was made: a short record is enough to find a fault's source here.
extern "C" const char* __asan_default_options() { return "malloc_context_size=4"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string text = Expand(data + 1, size - 1);
  // The source hands the text out in chunks of the size the first byte
  // picks (0: as much as fits). Tiny chunks put a line end on every
  // boundary but make a long text cost thousands of reads: for a long text
  // they are scaled up, which still moves the boundaries around.
  // Its top bit picks code page 932 over a single-byte one.
  size_t chunk = (data[0] & 0x7F) % 24;
  if (text.size() > 512) chunk *= 331;
  const LeadByteTest isLeadByte = (data[0] & 0x80) ? Cp932Lead : nullptr;
  Heap heap(text.size());
  PropertyTable* table = ParseMemory(&heap.ops, text, chunk, isLeadByte);
  if (!table) abort();
  if (table->count < 0 || table->count > kPropertyCapacity) abort();
  for (int i = 0; i < table->count; ++i) {
    const PropertyEntry& e = table->entries[i];
    if (!e.key || !e.value) abort();
  }
  if (!FollowsTheFormat(text, table, isLeadByte)) abort();
  // The look-up finds the first entry with a key. Each look-up walks the
  // table, so a few keys from either end stand for all.
  for (int i = 0; i < table->count; ++i) {
    if (i == 4 && table->count > 8) i = table->count - 4;
    const char* key = table->entries[i].key;
    int first = 0;
    while (strcmp(table->entries[first].key, key) != 0) ++first;
    if (GetProperty(table, key) != table->entries[first].value) abort();
  }
  return 0;
}
