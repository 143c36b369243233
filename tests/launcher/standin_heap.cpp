// The stand-in jvm.dll's watch on the launcher's heap. kxlaunch loads this
// library before it allocates the new PATH, the option texts, the class
// name and the argument buffers, so replacing msvcrt's malloc in the EXE's
// import table here lets a test see each size and refuse one allocation,
// which no real out-of-memory condition could do reliably.
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "standin_jvm.h"

namespace {

using MallocFunction = void*(__cdecl*)(size_t);

MallocFunction g_realMalloc;
unsigned long g_calls;
unsigned long g_refuse;  // 1-based index of the call to refuse; 0: none

void* __cdecl WatchedMalloc(size_t size) {
  ++g_calls;
  if (g_calls == g_refuse) {
    standin::Record("malloc %lu refused", static_cast<unsigned long>(size));
    errno = ENOMEM;
    return nullptr;
  }
  standin::Record("malloc %lu", static_cast<unsigned long>(size));
  return g_realMalloc(size);
}

// Points the import of function from dll in module's import table at
// replacement; gives the former target, or nullptr when not imported.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!imports.VirtualAddress) return nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name;
       ++d) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + d->Name), dll) != 0) continue;
    if (!d->OriginalFirstThunk) continue;  // no name table to match against
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD protection = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE,
                          &protection))
        return nullptr;
      void* former = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      return former;
    }
  }
  return nullptr;
}

}  // namespace

namespace standin {

void WatchLauncherHeap() {
  char* setting = Env("KX_STANDIN_JVM_MALLOC");
  if (!setting) return;
  g_refuse = strtoul(setting, nullptr, 10);
  free(setting);
  void* former = PatchImport(GetModuleHandleA(nullptr), "msvcrt.dll", "malloc",
                             reinterpret_cast<void*>(&WatchedMalloc));
  g_realMalloc = reinterpret_cast<MallocFunction>(former);
  Record(former ? "malloc watched" : "malloc not imported by the launcher");
}

}  // namespace standin
