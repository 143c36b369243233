// Platform-neutral: also built natively for the unit tests.
#include <string.h>

#include "tearhook.h"

bool FormRemovalCommand(const char* installPath, char* out, size_t capacity) {
  if (capacity == 0) return false;
  out[0] = '\0';
  const size_t pathLength = strlen(installPath);
  constexpr size_t programLength = sizeof kRemovalProgram - 1;
  constexpr size_t argumentsLength = sizeof kRemovalArguments - 1;
  // The two quotes, the program, the arguments and the terminator.
  constexpr size_t fixed = 2 + programLength + argumentsLength + 1;
  if (capacity < fixed || pathLength > capacity - fixed) return false;
  char* at = out;
  *at++ = '"';
  memcpy(at, installPath, pathLength);
  at += pathLength;
  memcpy(at, kRemovalProgram, programLength);
  at += programLength;
  *at++ = '"';
  memcpy(at, kRemovalArguments, argumentsLength + 1);
  return true;
}
