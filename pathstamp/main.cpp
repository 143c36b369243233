// pathstamp: the setup step that records where the product and its private
// Java runtime were installed. Run from the installation root; shows nothing.
// Exit status 0 when all five values were written; 1 when any write failed,
// or when its own path can't be read whole or its folder is too long for the
// launcher (nothing is written then). The setup script stops on 1.
#include <windows.h>

#include <string.h>

#include "installrecord.h"

namespace {

constexpr DWORD kModulePathCapacity = 258;
constexpr size_t kHomeCapacity = kModulePathCapacity + sizeof(KX_JAVA_HOME_SUFFIX);
constexpr size_t kLibCapacity = kHomeCapacity + sizeof(KX_RUNTIME_LIB_SUFFIX);

void Concat(char* out, size_t capacity, const char* a, const char* b) {
  size_t la = strlen(a), lb = strlen(b);
  if (la + lb + 1 > capacity) { out[0] = '\0'; return; }  // sized so it can't happen
  memcpy(out, a, la);
  memcpy(out + la, b, lb + 1);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char root[kModulePathCapacity];
  DWORD length = GetModuleFileNameA(nullptr, root, kModulePathCapacity);
  // A full buffer means the path was cut; a cut installation root would
  // send the launcher and the uninstaller to the wrong folder, so write
  // nothing at all.
  if (length == 0 || length >= kModulePathCapacity) return 1;
  root[length] = '\0';
  if (!CutToInstallRoot(root, IsAnsiLeadByte)) return 1;
  // kxlaunch refuses a longer root: record none that the product can't start from.
  if (strlen(root) > kMaxInstallRootLength) return 1;

  char javaHome[kHomeCapacity];
  char runtimeLib[kLibCapacity];
  Concat(javaHome, sizeof javaHome, root, KX_JAVA_HOME_SUFFIX);
  Concat(runtimeLib, sizeof runtimeLib, javaHome, KX_RUNTIME_LIB_SUFFIX);

  // Each write stands alone: a key that can't be created leaves its value
  // unwritten and the others still go in, but the status tells of it.
  const struct {
    const char* key;
    const char* value;
    const char* text;
  } writes[] = {
      {KX_INSTALLATION_KEY, KX_VALUE_INSTALL_PATH, root},
      {KX_JRE_KEY, KX_VALUE_CURRENT_VERSION, KX_CURRENT_VERSION},
      {KX_JRE_VERSION_KEY, KX_VALUE_JAVA_HOME, javaHome},
      {KX_JRE_VERSION_KEY, KX_VALUE_MICRO_VERSION, KX_MICRO_VERSION},
      {KX_JRE_VERSION_KEY, KX_VALUE_RUNTIME_LIB, runtimeLib},
  };
  int status = 0;
  for (const auto& w : writes) {
    if (WriteRegistryString(w.key, w.value, w.text) != ERROR_SUCCESS) status = 1;
  }
  return status;
}
