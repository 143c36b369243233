#include "installrecord.h"
#include "tearhook.h"

bool IsInstallFlagSet(const char* valueName) {
  // Absent, of another type than REG_SZ or unreadable: not set.
  HeapText text(ReadRegistryString(KX_INSTALLATION_KEY_UPPER, valueName));
  return text && FlagTextIsSet(text.get(), IsDBCSLeadByte);
}
