#include "installrecord.h"

#include <stdlib.h>
#include <string.h>

#include "../common/scoped.h"

char* ReadRegistryString(const char* subKey, const char* valueName) {
  ScopedRegKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return nullptr;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return nullptr;
  // One byte more than stored: a value written without its terminator must
  // not be read past its end.
  char* text = static_cast<char*>(malloc(static_cast<size_t>(size) + 1));
  if (!text) return nullptr;
  DWORD got = size;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &got) !=
          ERROR_SUCCESS ||
      type != REG_SZ || got > size) {
    free(text);
    return nullptr;
  }
  text[got] = '\0';
  return text;
}

LONG WriteRegistrySz(const char* subKey, const char* valueName, const char* bytes, DWORD size) {
  ScopedRegKey key;
  LONG created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, nullptr, key.receive(), nullptr);
  if (created != ERROR_SUCCESS) return created;
  LONG set = RegSetValueExA(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes),
                            size);
  LONG closed = key.close();
  return set != ERROR_SUCCESS ? set : closed;
}

LONG WriteRegistryString(const char* subKey, const char* valueName, const char* text) {
  return WriteRegistrySz(subKey, valueName, text, static_cast<DWORD>(strlen(text)) + 1);
}
