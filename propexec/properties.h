// The properties file reader: key/value lines read in one pass into a fixed
// table that the runner keeps until it exits. Platform-neutral; the runner
// and the native tests link the same code.
#pragma once
#include <stddef.h>
#include <stdint.h>

constexpr int kPropertyCapacity = 2048;     // entries; later keys are ignored
constexpr size_t kPropertyKeyMax = 1023;    // characters kept of a key
constexpr size_t kPropertyValueMax = 4095;  // characters kept of a value line

// Every block of the table and its texts comes from these three operations;
// each receives the record itself first.
struct PropertyAllocator {
  void* (*Allocate)(PropertyAllocator* self, int32_t size);
  char* (*Duplicate)(PropertyAllocator* self, const char* text);
  void (*Release)(PropertyAllocator* self, void* block);
};

// The lead-byte test of the ANSI code page a file is read in: a lead byte
// and the byte after it are one character (the runner passes the system's
// IsDBCSLeadByte). nullptr: a single-byte code page.
typedef bool (*LeadByteTest)(unsigned char byte);

struct PropertyEntry {
  char* key;    // never null in a counted entry
  char* value;  // never null in a counted entry
};

// Entries in file order; keys may repeat.
struct PropertyTable {
  PropertyEntry entries[kPropertyCapacity];
  int32_t count;
};

// Reads the file with heap allocation. Returns nullptr when the table can't
// be allocated or the file can't be opened; a file without entries gives an
// empty table. There is no release: the table lives until the process ends.
// Values are read a character at a time in the code page of isLeadByte: a
// backslash removes itself only where it stands as a character of its own,
// never as the second byte of one (ソ is 83 5C in code page 932).
PropertyTable* LoadProperties(const char* path, LeadByteTest isLeadByte);
PropertyTable* ParseProperties(PropertyAllocator* allocator, const char* path,
                               LeadByteTest isLeadByte);

// The value of the first entry whose key equals `key` byte for byte, or
// nullptr. The text is the table's own; the caller may change it in place.
char* GetProperty(const PropertyTable* table, const char* key);

// Fills in the heap operations that LoadProperties uses: Allocate takes a
// size of 0 or less as 1, Duplicate copies a null text as "", Release
// ignores null.
void InitDefaultPropertyAllocator(PropertyAllocator* allocator);

// Raw bytes of a properties file, read in chunks. Read returns 0 only at the
// end of the data.
struct PropertySource {
  size_t (*Read)(void* context, char* buffer, size_t capacity);
  void* context;
};

// The parse behind ParseProperties, over any source of the file's raw bytes.
// The bytes are taken as a Windows text-mode read sees them: CR LF reads as
// LF, and a Ctrl-Z ends the file.
PropertyTable* ParsePropertiesFrom(PropertyAllocator* allocator, const PropertySource* source,
                                   LeadByteTest isLeadByte);
