// Platform-neutral: also built natively for the unit tests.
#include <string.h>

#include "restart_command.h"
#include "tearhook.h"

bool FormRemovalCommand(const char* installPath, char* out, size_t capacity) {
  // The same bounded, quoted forming as the library's own commands; always
  // quoted, since installations usually sit under "Program Files".
  return FormSystemCommand(out, capacity, installPath, strlen(installPath), kRemovalProgram,
                           kRemovalArguments, /*alwaysQuote=*/true);
}
