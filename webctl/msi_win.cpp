#include <string.h>

#include "webctl.h"

namespace {

constexpr char kMsiFile[] = "\\msi.dll";

// Looked up by name: the DLLs keep their import list, and load where no
// Windows Installer is present.
template <typename Fn>
bool Find(HMODULE module, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *fn != nullptr;
}

}  // namespace

const MsiCalls* LoadMsiCalls() {
  static MsiCalls calls;
  static bool loaded = false;
  if (loaded) return &calls;
  // From the system folder by its full path, never through a search that a
  // planted msi.dll in the current folder could win. Kept loaded: the
  // custom action that asked for it is the installer's, not ours to end.
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  if (length == 0 || length + sizeof kMsiFile > sizeof path) return nullptr;
  memcpy(path + length, kMsiFile, sizeof kMsiFile);
  HMODULE msi = LoadLibraryA(path);
  if (msi == nullptr) return nullptr;
  if (!Find(msi, "MsiGetPropertyA", &calls.getProperty) ||
      !Find(msi, "MsiSetPropertyA", &calls.setProperty) ||
      !Find(msi, "MsiCreateRecord", &calls.createRecord) ||
      !Find(msi, "MsiRecordSetStringA", &calls.recordSetString) ||
      !Find(msi, "MsiProcessMessage", &calls.processMessage) ||
      !Find(msi, "MsiCloseHandle", &calls.closeHandle) ||
      !Find(msi, "MsiGetMode", &calls.getMode))
    return nullptr;
  loaded = true;
  return &calls;
}

int SendInstallerText(MSIHANDLE install, INSTALLMESSAGE type, const char* text) {
  const MsiCalls* msi = LoadMsiCalls();
  if (msi == nullptr) return 0;
  MSIHANDLE record = msi->createRecord(1);
  if (record == 0) return 0;
  // The text goes in as a field, so that no bracket in it (a path) is
  // formatted.
  msi->recordSetString(record, 0, "[1]");
  msi->recordSetString(record, 1, text);
  const int result = msi->processMessage(install, type, record);
  msi->closeHandle(record);
  return result;
}
