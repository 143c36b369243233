#include <stdlib.h>
#include <string.h>

#include "../common/scoped.h"
#include "installrecord.h"
#include "tearhook.h"
#include "webctl.h"

namespace {

// A REG_SZ value can carry more text behind a NUL of its own. The string read
// stops at that NUL, so writing the edited text back would silently drop
// whatever follows it. Such a list is left alone, as an unreadable one is.
bool HidesTextAfterNul(size_t textLength) {
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KX_FILTER_KEY, 0, KEY_READ, key.receive()) !=
      ERROR_SUCCESS)
    return true;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), KX_VALUE_FILTER_DLLS, nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return true;
  if (size <= textLength + 1) return false;  // the text and its terminator, or less
  HeapText raw(static_cast<char*>(malloc(size)));
  if (!raw) return true;
  DWORD got = size;
  if (RegQueryValueExA(key.get(), KX_VALUE_FILTER_DLLS, nullptr, &type,
                       reinterpret_cast<BYTE*>(raw.get()), &got) != ERROR_SUCCESS ||
      got > size)
    return true;
  for (DWORD i = static_cast<DWORD>(textLength); i < got; ++i)
    if (raw.get()[i] != '\0') return true;
  return false;  // only padding NULs after the text
}

}  // namespace

bool RemoveEngineFilter() {
  HeapText old(ReadRegistryString(KX_FILTER_KEY, KX_VALUE_FILTER_DLLS));
  if (!old) return false;  // missing key or value, or not REG_SZ
  size_t length = strlen(old.get());
  if (HidesTextAfterNul(length)) return false;

  // The user may decline stopping the web server; the list stays then.
  if (!ShutdownService()) return false;

  size_t capacity = length + kFilterListSlack;
  HeapText edited(static_cast<char*>(malloc(capacity)));
  if (!edited || !RemoveEngineEntries(old.get(), edited.get(), capacity)) {
    // The servers are already stopped: the service still goes, the list stays.
    RemoveServiceManager();
    return false;
  }
  // Written back even when nothing was dropped; a failed write leaves the old
  // list in place and is not reported.
  WriteRegistryString(KX_FILTER_KEY, KX_VALUE_FILTER_DLLS, edited.get());
  edited.reset();
  RemoveServiceManager();
  return true;
}
