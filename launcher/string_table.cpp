// Platform-neutral: also built natively for the unit tests and the fuzzer.
#include "string_table.h"

bool FindTableString(const uint16_t* block, size_t units, unsigned index, const uint16_t** text,
                     size_t* length) {
  if (index >= kStringTableBlockSize) return false;
  size_t at = 0;
  for (unsigned i = 0;; ++i) {
    if (at >= units) return false;
    size_t count = block[at];
    if (count > units - at - 1) return false;  // runs past the block
    if (i == index) {
      *text = block + at + 1;
      *length = count;
      return true;
    }
    at += 1 + count;
  }
}
