// The second yardstick of the launch benchmark: a console program that only
// reads InstallPath, as kxlaunch does first. It shows how much of the
// launch is the loading of ADVAPI32, which the registry read needs.
#include <windows.h>

int main() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Veltrana\\Kestrix\\2.0\\Installation", 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return 1;
  char path[MAX_PATH];
  DWORD size = sizeof path;
  LONG r = RegQueryValueExA(key, "InstallPath", nullptr, nullptr, reinterpret_cast<BYTE*>(path),
                            &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? 0 : 1;
}
