// A properties source over bytes in memory, handed out in chunks of a chosen
// size, so tests can put a CR LF pair or a Ctrl-Z on any chunk boundary.
#pragma once
#include <string.h>

#include <string>

#include "properties.h"

struct MemorySource {
  const char* data;
  size_t size;
  size_t chunk;  // bytes per read at most; 0 means all that fits
  size_t offset = 0;

  static size_t Read(void* context, char* buffer, size_t capacity) {
    auto* self = static_cast<MemorySource*>(context);
    size_t n = self->size - self->offset;
    if (n > capacity) n = capacity;
    if (self->chunk && n > self->chunk) n = self->chunk;
    memcpy(buffer, self->data + self->offset, n);
    self->offset += n;
    return n;
  }
};

inline PropertyTable* ParseMemory(PropertyAllocator* allocator, const std::string& text,
                                  size_t chunk = 0, LeadByteTest isLeadByte = nullptr) {
  MemorySource memory{text.data(), text.size(), chunk};
  PropertySource source = {MemorySource::Read, &memory};
  return ParsePropertiesFrom(allocator, &source, isLeadByte);
}
