// Reads one text out of a string-table resource block, so that kxlaunch
// can load its messages through KERNEL32 alone (USER32's LoadStringA would
// bring the whole windowing layer into a console program). Platform-neutral.
#pragma once
#include <stddef.h>
#include <stdint.h>

// A block (RT_STRING resource number id / 16 + 1) holds 16 texts, each a
// UTF-16 unit count followed by that many units, without terminator.
constexpr unsigned kStringTableBlockSize = 16;

// Finds text index (0 to 15) in a block of units UTF-16 units. False when
// the block ends before it or index is out of range; an empty text is found
// with length 0.
bool FindTableString(const uint16_t* block, size_t units, unsigned index, const uint16_t** text,
                     size_t* length);
