#include "msi_entry.h"

bool ReadProperty(MSIHANDLE install, const char* name, char (&out)[kPropertyCapacity]) {
  out[0] = '\0';
  const MsiCalls* msi = LoadMsiCalls();
  if (msi == nullptr) return false;
  DWORD size = kPropertyCapacity;  // in: the room; out: the length without NUL
  // ERROR_MORE_DATA for a value that doesn't fit: a cut path is no path.
  if (msi->getProperty(install, name, out, &size) != ERROR_SUCCESS) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool SetProperty(MSIHANDLE install, const char* name, const char* value) {
  const MsiCalls* msi = LoadMsiCalls();
  return msi != nullptr && msi->setProperty(install, name, value) == ERROR_SUCCESS;
}

int UnattendedAnswer(MSIHANDLE install) {
  char answer[kPropertyCapacity];
  if (!ReadProperty(install, kAnswerProperty, answer)) return 1;
  return ExeNamesEqual(answer, "no") ? 0 : 1;  // ASCII letters of any case
}

UINT AskBeforeStop(MSIHANDLE install, StopOutcome* outcome) {
  const InstallerRoadScope road(install, UnattendedAnswer(install), /*ask=*/true);
  *outcome = StopServers(/*act=*/false);
  if (*outcome == StopOutcome::kDeclined) return kActionUserExit;
  if (*outcome == StopOutcome::kBlocked) return kActionFailure;
  return kActionSuccess;
}

void LogLine(MSIHANDLE install, const char* text) {
  SendInstallerText(install, INSTALLMESSAGE_INFO, text);
}
