#include "restart_command.h"

#include <string.h>

namespace {

bool HoldsBlank(const char* text, size_t length) {
  return memchr(text, ' ', length) != nullptr || memchr(text, '\t', length) != nullptr;
}

}  // namespace

bool FormSystemCommand(char* out, size_t capacity, const char* systemDir, size_t systemDirLength,
                       const char* program, const char* arguments, bool alwaysQuote) {
  if (capacity == 0) return false;
  out[0] = '\0';
  if (systemDirLength == 0) return false;
  const size_t programLength = strlen(program);
  const size_t argumentsLength = strlen(arguments);
  const bool quote = alwaysQuote || HoldsBlank(systemDir, systemDirLength) ||
                     HoldsBlank(program, programLength);
  const size_t quotes = quote ? 2 : 0;
  // Checked piece by piece, so that no sum can wrap.
  size_t room = capacity - 1;  // the terminator's byte
  if (systemDirLength > room) return false;
  room -= systemDirLength;
  if (programLength > room) return false;
  room -= programLength;
  if (quotes > room) return false;
  room -= quotes;
  if (argumentsLength > room) return false;

  char* at = out;
  if (quote) *at++ = '"';
  memcpy(at, systemDir, systemDirLength);
  at += systemDirLength;
  // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the arguments bring the NUL
  memcpy(at, program, programLength);
  at += programLength;
  if (quote) *at++ = '"';
  memcpy(at, arguments, argumentsLength + 1);
  return true;
}

bool FormRestartCommand(char* out, size_t capacity, const char* systemDir,
                        size_t systemDirLength) {
  return FormSystemCommand(out, capacity, systemDir, systemDirLength, kRestartProgram,
                           kRestartArguments, /*alwaysQuote=*/true);
}

bool FormNetCommand(char* out, size_t capacity, const char* systemDir, size_t systemDirLength,
                    const char* arguments) {
  return FormSystemCommand(out, capacity, systemDir, systemDirLength, kNetProgram, arguments,
                           /*alwaysQuote=*/false);
}
