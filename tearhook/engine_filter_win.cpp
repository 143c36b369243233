#include <stdlib.h>
#include <string.h>

#include "../common/scoped.h"
#include "installrecord.h"
#include "tearhook.h"
#include "webctl.h"

namespace {

// The filter list as stored: a REG_SZ whose bytes may go on after the first
// NUL. The web server reads only up to that NUL (the visible list); whatever
// follows it is kept to be written back untouched.
struct StoredList {
  HeapText bytes;       // the stored bytes plus one NUL of ours
  size_t visible = 0;   // length of the list up to the first NUL
  size_t tailSize = 0;  // bytes after that NUL
  const char* tail() const { return bytes.get() + visible + 1; }
};

// False when the key or value is missing, the value is not REG_SZ or the
// read fails, as the registry string read would be.
bool ReadStoredList(StoredList* list) {
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KX_FILTER_KEY, 0, KEY_READ, key.receive()) !=
      ERROR_SUCCESS)
    return false;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), KX_VALUE_FILTER_DLLS, nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  // One byte more than stored: a value without its terminator still ends.
  list->bytes.reset(static_cast<char*>(malloc(static_cast<size_t>(size) + 1)));
  if (!list->bytes) return false;
  DWORD got = size;
  if (RegQueryValueExA(key.get(), KX_VALUE_FILTER_DLLS, nullptr, &type,
                       reinterpret_cast<BYTE*>(list->bytes.get()), &got) != ERROR_SUCCESS ||
      type != REG_SZ || got > size)
    return false;
  list->bytes.get()[got] = '\0';
  list->visible = strlen(list->bytes.get());
  list->tailSize = list->visible < got ? got - list->visible - 1 : 0;
  return true;
}

// Stores the edited list, its NUL and the old tail as one REG_SZ. The
// result is not looked at: a failed write leaves the old list in place.
void WriteStoredList(const char* bytes, size_t size) {
  ScopedRegKey key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, KX_FILTER_KEY, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key.get(), KX_VALUE_FILTER_DLLS, 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(bytes), static_cast<DWORD>(size));
}

}  // namespace

bool RemoveEngineFilter() {
  StoredList old;
  if (!ReadStoredList(&old)) return false;  // missing key or value, or not REG_SZ

  // The user may decline stopping the web server; the list stays then.
  if (!ShutdownService()) return false;

  // The edit never lengthens the visible list; the tail follows the edited
  // list's NUL byte for byte.
  const size_t listCapacity = old.visible + kFilterListSlack;
  HeapText edited(static_cast<char*>(malloc(listCapacity + old.tailSize)));
  if (!edited || !RemoveEngineEntries(old.bytes.get(), edited.get(), listCapacity)) {
    // The servers are already stopped: the service still goes, the list stays.
    RemoveServiceManager();
    return false;
  }
  const size_t editedLength = strlen(edited.get());
  memcpy(edited.get() + editedLength + 1, old.tail(), old.tailSize);
  // Written back even when nothing was dropped.
  WriteStoredList(edited.get(), editedLength + 1 + old.tailSize);
  edited.reset();
  RemoveServiceManager();
  return true;
}
