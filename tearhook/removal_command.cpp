// Platform-neutral: also built natively for the unit tests.
#include <string.h>

#include "tearhook.h"

bool FormRemovalCommand(const char* installPath, char* out, size_t capacity) {
  if (capacity == 0) return false;
  out[0] = '\0';
  size_t pathLength = strlen(installPath);
  constexpr size_t suffixLength = sizeof kRemovalCommandSuffix - 1;
  if (pathLength >= capacity || capacity - pathLength < suffixLength + 1) return false;
  memcpy(out, installPath, pathLength);
  memcpy(out + pathLength, kRemovalCommandSuffix, suffixLength + 1);
  return true;
}
