// Platform-neutral: also built natively for the unit tests.
#include "installrecord.h"

#include <string.h>

bool CutToInstallRoot(char* modulePath) {
  char* last = strrchr(modulePath, '\\');
  if (!last) return false;
  char* first = strchr(modulePath, '\\');
  if (last == first)
    last[1] = '\0';  // "X:\prog.exe" -> "X:\"
  else
    last[0] = '\0';
  return true;
}
