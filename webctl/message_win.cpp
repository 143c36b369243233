#include "webctl.h"

// Set by the DLL's DllMain (or by a test program to its own module): the
// message texts come from the string table of the module the library is
// linked into.
HINSTANCE ModuleInstance;

namespace {
constexpr int kMessageTextCapacity = 256;
constexpr int kCaptionCapacity = 64;
}  // namespace

int LoadMessageText(HINSTANCE instance, UINT id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  // LoadStringA truncates to size - 1 characters and terminates.
  int count = LoadStringA(instance, id, buffer, size);
  if (count != 0) CharToOemA(buffer, buffer);
  return count;
}

int ShowMessage(UINT id, UINT type) {
  char text[kMessageTextCapacity];
  char caption[kCaptionCapacity];
  if (LoadMessageText(ModuleInstance, id, text, kMessageTextCapacity) == 0) return 0;
  if (LoadMessageText(ModuleInstance, kMsgCaption, caption, kCaptionCapacity) == 0) return 0;
  return MessageBoxA(nullptr, text, caption, type);
}
