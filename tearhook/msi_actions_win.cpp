// tearhook.dll's custom actions for the removal of a Windows Installer
// package (REMOVE="ALL"; plain export names, UINT __stdcall Entry(MSIHANDLE)):
// the uninstall hook's work, asked in an immediate action and done in a
// deferred one. Thin shells over UninstInitialize's own pieces; every text
// goes through the installer.
#include "installrecord.h"
#include "msi_entry.h"
#include "tearhook.h"

// Immediate: without the online component there is nothing to do. Otherwise
// the filter list must be readable, and the question is asked through the
// installer or answered by KXSTOPWEBSERVER; then KxRemoveFilter (and its
// rollback) is scheduled. Nothing on the machine changes here.
extern "C" UINT __stdcall KxRemoveAsk(MSIHANDLE install) {
  if (!IsInstallFlagSet(KX_VALUE_ONLINE)) return kActionSuccess;
  if (!EngineFilterListReadable()) {
    LogLine(install, "The web server's filter list can't be read, so the servlet engine's filter "
                     "can't be taken out of it: Kestrix was not removed.");
    return kActionFailure;
  }
  StopOutcome outcome;
  if (const UINT asked = AskBeforeStop(install, &outcome); asked != kActionSuccess) return asked;
  bool scheduled = SetProperty(install, "KxRemoveFilter", "1");
  // A removal that fails once the web server was stopped starts it again
  // (webpause's KxStartWebServer, as the rollback KxRemoveRollback).
  if (outcome == StopOutcome::kAllowed)
    scheduled = scheduled && SetProperty(install, "KxRemoveRollback", "1");
  if (scheduled) return kActionSuccess;
  LogLine(install, "The removal's steps could not be scheduled: Kestrix was not removed.");
  return kActionFailure;
}

// Deferred, in the system's context, before the record and the files go:
// the servers stopped as answered (no second question), the filter taken
// out, the service manager's removal started.
extern "C" UINT __stdcall KxRemoveFilter(MSIHANDLE install) {
  const InstallerRoadScope road(install, /*answer=*/1, /*ask=*/false);
  if (RemoveEngineFilter()) return kActionSuccess;
  LogLine(install, "The servlet engine's filter could not be taken out of the web server's "
                   "filter list: Kestrix was not removed.");
  return kActionFailure;
}
