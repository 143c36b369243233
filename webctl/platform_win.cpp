#include "webctl.h"

DWORD GetPlatformFamily() {
  // Asked anew every time: nothing about the platform is cached.
  OSVERSIONINFOA info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;  // 148
  if (!GetVersionExA(&info)) return 0;
  return info.dwPlatformId;
}
