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

enum class ListRead { kRead, kMissing, kUnusable };

// kMissing when the key or value does not exist (the web server was removed
// first); kUnusable when the value is not REG_SZ or can't be read, so that
// its content is unknown. Without a list to fill, only tells which.
ListRead ReadStoredList(StoredList* list) {
  ScopedRegKey key;
  LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, KX_FILTER_KEY, 0, KEY_READ, key.receive());
  if (opened != ERROR_SUCCESS)
    return opened == ERROR_FILE_NOT_FOUND ? ListRead::kMissing : ListRead::kUnusable;
  DWORD type = 0;
  DWORD size = 0;
  LONG queried = RegQueryValueExA(key.get(), KX_VALUE_FILTER_DLLS, nullptr, &type, nullptr, &size);
  if (queried == ERROR_FILE_NOT_FOUND) return ListRead::kMissing;
  if (queried != ERROR_SUCCESS || type != REG_SZ) return ListRead::kUnusable;
  if (list == nullptr) return ListRead::kRead;
  // One byte more than stored: a value without its terminator still ends.
  list->bytes.reset(static_cast<char*>(malloc(static_cast<size_t>(size) + 1)));
  if (!list->bytes) return ListRead::kUnusable;
  DWORD got = size;
  if (RegQueryValueExA(key.get(), KX_VALUE_FILTER_DLLS, nullptr, &type,
                       reinterpret_cast<BYTE*>(list->bytes.get()), &got) != ERROR_SUCCESS ||
      type != REG_SZ || got > size)
    return ListRead::kUnusable;
  list->bytes.get()[got] = '\0';
  list->visible = strlen(list->bytes.get());
  list->tailSize = list->visible < got ? got - list->visible - 1 : 0;
  return ListRead::kRead;
}

}  // namespace

bool EngineFilterListReadable() { return ReadStoredList(nullptr) != ListRead::kUnusable; }

bool RemoveEngineFilter() {
  // A list of unknown content is left alone without asking anything.
  if (ReadStoredList(nullptr) == ListRead::kUnusable) return false;

  // The user may decline stopping the web server; the list stays then.
  if (!ShutdownService()) return false;

  // Read only now: the question may have stayed open for minutes, and an
  // entry added meanwhile must be written back with the others.
  StoredList old;
  const ListRead read = ReadStoredList(&old);
  if (read == ListRead::kMissing) {
    // No list names the engine's filter: nothing to take out, and no key or
    // value is created.
    RemoveServiceManager();
    return true;
  }

  if (read != ListRead::kRead) {
    // Made unreadable while the user was asked: its content is unknown, so
    // it stays. The servers are already stopped, so the service still goes.
    RemoveServiceManager();
    return false;
  }

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
  // Written back even when nothing was dropped. A failed write leaves the
  // old list in place; the servers are stopped all the same, so the service
  // still goes.
  // size_t and DWORD have the same 32 bits in the shipped build: nothing
  // widens, and the edited value is no longer than the DWORD-sized one read.
  const LONG written = WriteRegistrySz(KX_FILTER_KEY, KX_VALUE_FILTER_DLLS, edited.get(),
                                       // NOLINTNEXTLINE(bugprone-misplaced-widening-cast)
                                       static_cast<DWORD>(editedLength + 1 + old.tailSize));
  edited.reset();
  RemoveServiceManager();
  return written == ERROR_SUCCESS;
}
