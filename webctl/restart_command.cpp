#include "restart_command.h"

#include <string.h>

bool FormRestartCommand(char* out, size_t capacity, const char* systemDir,
                        size_t systemDirLength) {
  if (capacity == 0) return false;
  out[0] = '\0';
  constexpr size_t kSuffixSize = sizeof kRestartCommandSuffix;  // terminator included
  if (systemDirLength == 0 || capacity < kSuffixSize ||
      systemDirLength > capacity - kSuffixSize)
    return false;
  memcpy(out, systemDir, systemDirLength);
  memcpy(out + systemDirLength, kRestartCommandSuffix, kSuffixSize);
  return true;
}
