#include "properties.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "text_reader.h"

namespace {

constexpr size_t kKeyBuffer = kPropertyKeyMax + 1;
constexpr size_t kValueBuffer = kPropertyValueMax + 1;

void* HeapAllocate(PropertyAllocator*, int32_t size) {
  return malloc(size > 0 ? static_cast<size_t>(size) : 1);
}

char* HeapDuplicate(PropertyAllocator*, const char* text) {
  if (!text) text = "";
  size_t length = strlen(text) + 1;
  char* copy = static_cast<char*>(malloc(length));
  if (copy) memcpy(copy, text, length);
  return copy;
}

void HeapRelease(PropertyAllocator*, void* block) { free(block); }

PropertyTable* NewTable(PropertyAllocator* allocator) {
  auto* table = static_cast<PropertyTable*>(
      allocator->Allocate(allocator, static_cast<int32_t>(sizeof(PropertyTable))));
  if (table) table->count = 0;
  return table;
}

// Walks the value a character at a time: a lead byte and the byte after it
// are one character, copied whole, so a second byte that is a backslash
// stays. A backslash that is a character of its own goes and the character
// after it stays; one at the very end just goes. A lead byte whose second
// byte was cut off with the rest of an over-long line goes as well, so the
// value never ends in half a character. The line's LF is never a second
// byte: no double-byte code page of Windows has one below 0x40. Returns the
// new length.
size_t RemoveBackslashes(char* text, size_t length, LeadByteTest isLeadByte,
                         bool secondByteCut) {
  if (!secondByteCut && !memchr(text, '\\', length)) return length;
  size_t write = 0;
  for (size_t read = 0; read < length;) {
    if (text[read] == '\\' && ++read == length) break;
    const auto byte = static_cast<unsigned char>(text[read]);
    text[write++] = text[read++];
    // No code page has an ASCII lead byte, which spares most bytes the test.
    if (byte < 0x80 || !isLeadByte || !isLeadByte(byte)) continue;
    if (read < length && text[read] != '\n') text[write++] = text[read++];
    else if (read == length && secondByteCut) --write;
  }
  return write;
}

// One or two line-end characters, CR or LF in either order.
size_t StripLineEnd(const char* text, size_t length) {
  for (int i = 0; i < 2 && length > 0; ++i) {
    if (text[length - 1] != '\n' && text[length - 1] != '\r') break;
    --length;
  }
  return length;
}

// Keeps an entry only when both texts could be copied: a half entry would
// hand the runner a null to read.
void Store(PropertyTable* table, PropertyAllocator* allocator, const char* key,
           const char* value) {
  if (table->count >= kPropertyCapacity) return;  // the first 2048 keys win
  char* keyCopy = allocator->Duplicate(allocator, key);
  if (!keyCopy) return;
  char* valueCopy = allocator->Duplicate(allocator, value);
  if (!valueCopy) {
    allocator->Release(allocator, keyCopy);
    return;
  }
  table->entries[table->count].key = keyCopy;
  table->entries[table->count].value = valueCopy;
  ++table->count;
}

void ReadEntries(PropertyTable* table, PropertyAllocator* allocator, TextReader* reader,
                 LeadByteTest isLeadByte) {
  char key[kKeyBuffer];
  char value[kValueBuffer];
  for (;;) {
    int c = reader->Get();
    if (c < 0) return;
    if (c == '#') {
      do c = reader->Get();
      while (c >= 0 && c != '\n' && c != '\r');
      continue;
    }
    if (c == '\n' || c == '\r') continue;

    // The first character is the key's even when it is "=" or a blank; the
    // key then runs to the next "=", across line ends.
    key[0] = static_cast<char>(c);
    size_t kept = 0;
    if (!reader->ReadThrough('=', key + 1, kPropertyKeyMax - 1, &kept)) {
      return;  // no "=" before the end: not an entry
    }
    key[1 + kept] = '\0';

    // The rest of the line; at the end of the file right after the "=" the
    // value is empty.
    size_t length = reader->ReadLine(value, kPropertyValueMax);
    // Whether the whole line was read is judged by the bytes read, not by
    // the text up to a NUL byte. A C-string reading of the line would take a
    // value holding a NUL for a cut one and swallow the line after it as the
    // "rest", silently dropping the next key (the Java executable's, say)
    // for a stray byte on another line. Only an over-long line has a rest.
    bool wholeLine = length > 0 && value[length - 1] == '\n';
    // The rest of an over-long line goes. Unless that rest is just the LF,
    // the cut may have split a character.
    bool secondByteCut = false;
    if (!wholeLine) {
      const int next = reader->Get();
      secondByteCut = next >= 0 && next != '\n';
      size_t ignored;
      if (secondByteCut) reader->ReadThrough('\n', nullptr, 0, &ignored);
    }
    // A NUL byte ends the text as the table will hold it.
    if (const void* nul = memchr(value, '\0', length)) {
      length = static_cast<size_t>(static_cast<const char*>(nul) - value);
      secondByteCut = false;
    }
    length = RemoveBackslashes(value, length, isLeadByte, secondByteCut);
    length = StripLineEnd(value, length);
    value[length] = '\0';
    Store(table, allocator, key, value);
  }
}

size_t ReadFromFile(void* context, char* buffer, size_t capacity) {
  return fread(buffer, 1, capacity, static_cast<FILE*>(context));
}

struct FileCloser {
  FILE* file;
  ~FileCloser() { (void)fclose(file); }  // only read: a failed close loses nothing
};

}  // namespace

void InitDefaultPropertyAllocator(PropertyAllocator* allocator) {
  allocator->Allocate = HeapAllocate;
  allocator->Duplicate = HeapDuplicate;
  allocator->Release = HeapRelease;
}

PropertyTable* ParsePropertiesFrom(PropertyAllocator* allocator, const PropertySource* source,
                                   LeadByteTest isLeadByte) {
  PropertyTable* table = NewTable(allocator);
  if (!table) return nullptr;
  TextReader reader(source);
  ReadEntries(table, allocator, &reader, isLeadByte);
  return table;
}

PropertyTable* ParseProperties(PropertyAllocator* allocator, const char* path,
                               LeadByteTest isLeadByte) {
  PropertyTable* table = NewTable(allocator);
  if (!table) return nullptr;
  // Binary: the reader does the text-mode translation itself.
  FILE* file = path ? fopen(path, "rb") : nullptr;
  if (!file) {
    allocator->Release(allocator, table);
    return nullptr;
  }
  FileCloser closer{file};
  PropertySource source = {ReadFromFile, file};
  TextReader reader(&source);
  ReadEntries(table, allocator, &reader, isLeadByte);
  return table;
}

PropertyTable* LoadProperties(const char* path, LeadByteTest isLeadByte) {
  PropertyAllocator heap;  // lives only for this call; the table keeps no reference
  InitDefaultPropertyAllocator(&heap);
  return ParseProperties(&heap, path, isLeadByte);
}

char* GetProperty(const PropertyTable* table, const char* key) {
  if (!table || !key) return nullptr;
  for (int32_t i = 0; i < table->count && i < kPropertyCapacity; ++i) {
    if (strcmp(table->entries[i].key, key) == 0) return table->entries[i].value;
  }
  return nullptr;
}
