// Platform-neutral: also built natively for the unit tests.
#include "installrecord.h"

bool CutToInstallRoot(char* modulePath, LeadByteTest isLeadByte) {
  const char* first = NextBackslash(modulePath, isLeadByte);
  if (!first) return false;
  char* last = modulePath + (LastBackslash(first, isLeadByte) - modulePath);
  if (last == first)
    last[1] = '\0';  // "X:\prog.exe" -> "X:\"
  else
    last[0] = '\0';
  return true;
}
