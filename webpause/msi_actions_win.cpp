// webpause.dll's custom actions for a Windows Installer package (plain
// export names, UINT __stdcall Entry(MSIHANDLE)), which runs the DLL from
// its Binary table. Thin shells: the look-ups, the question and the stops
// are the library's, and every text goes through the installer
// (InstallerRoadScope), so it reaches the log at any UI level. The package's
// sequence (docs/wix/kestrix.wxs) says where each one runs and why.
#include <string.h>

#include <initializer_list>

#include "../common/scoped.h"
#include "installrecord.h"
#include "msi_entry.h"

namespace {

constexpr char kSmonFile[] = "smon.properties";
constexpr size_t kSmonTextCapacity = 4096;
constexpr char kScheduled[] = "1";

// Appends to a bounded text; false, leaving it cut, when it doesn't fit.
struct Text {
  char* data;
  size_t capacity;
  size_t length;
  bool Add(const char* part, size_t n) {
    if (n >= capacity - length) return false;
    memcpy(data + length, part, n);
    length += n;
    data[length] = '\0';
    return true;
  }
  bool Add(const char* part) { return Add(part, strlen(part)); }
  // The path with each backslash character doubled: the properties reader
  // takes a backslash as an escape for what follows it.
  bool AddEscaped(const char* path) {
    for (const char* at = path;;) {
      const char* slash = NextBackslash(at, IsAnsiLeadByte);
      if (slash == nullptr) return Add(at);
      if (!Add(at, static_cast<size_t>(slash - at)) || !Add("\\\\")) return false;
      at = slash + 1;
    }
  }
};

// folder: INSTALLDIR, which ends in a backslash.
bool FormSmonPath(const char* folder, char (&path)[kPropertyCapacity]) {
  Text out{path, sizeof path, 0};
  path[0] = '\0';
  return out.Add(folder) && out.Add(kSmonFile);
}

// The installation root as pathstamp records it: without the last
// backslash, unless it is a drive's root.
bool FormRoot(const char* folder, char (&root)[kPropertyCapacity]) {
  Text out{root, sizeof root, 0};
  root[0] = '\0';
  return out.Add(folder) && CutToInstallRoot(root, IsAnsiLeadByte) &&
         strlen(root) <= kMaxInstallRootLength;
}

// The service manager's settings, as the NSIS setup writes them.
bool FormSmonText(const char* root, char (&text)[kSmonTextCapacity]) {
  Text out{text, sizeof text, 0};
  text[0] = '\0';
  return out.Add("# Service manager: the Java executable and what it is given\r\njava.exe=") &&
         out.AddEscaped(root) && out.Add("\\\\jre\\\\bin\\\\java.exe\r\njava.classpath=") &&
         out.AddEscaped(root) && out.Add("\\\\lib\\\\smon.jar;") && out.AddEscaped(root) &&
         out.Add("\\\\lib\\\\servlet.jar\r\njava.path=") && out.AddEscaped(root) &&
         out.Add("\\\\jre\\\\bin\r\njava.args=-Xmx64m -Dsmon.home=. com.veltrana.smon.Main\r\n");
}

}  // namespace

// Immediate, before the installation script is made: the record's root for
// the Registry table (KXINSTALLPATH), the look-ups and the question, asked
// through the installer or answered by KXSTOPWEBSERVER; then the deferred
// actions are scheduled. Nothing on the machine changes here.
extern "C" UINT __stdcall KxInstallAsk(MSIHANDLE install) {
  char folder[kPropertyCapacity];
  char root[kPropertyCapacity];
  if (!ReadProperty(install, "INSTALLDIR", folder) || !FormRoot(folder, root)) {
    LogLine(install, "Kestrix can't be installed in this folder: its path is longer than 235 bytes.");
    return kActionFailure;
  }
  StopOutcome outcome;
  if (const UINT asked = AskBeforeStop(install, &outcome); asked != kActionSuccess) return asked;

  bool scheduled = SetProperty(install, "KXINSTALLPATH", root) &&
                   SetProperty(install, "KxStopServers", kScheduled);
  // Only the web server this run stops is started again, after the files
  // or by the rollback.
  if (outcome == StopOutcome::kAllowed)
    scheduled = scheduled && SetProperty(install, "KxStopRollback", kScheduled) &&
                SetProperty(install, "KxRestartServer", kScheduled);
  // An existing smon.properties is the administrator's: a repair keeps it.
  char path[kPropertyCapacity];
  if (scheduled && FormSmonPath(folder, path) && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES)
    scheduled = SetProperty(install, "KxWriteSmon", folder) &&
                SetProperty(install, "KxSmonRollback", folder);
  if (scheduled) return kActionSuccess;
  LogLine(install, "The installation's steps could not be scheduled: Kestrix was not installed.");
  return kActionFailure;
}

// Deferred, in the system's context: the stops the answer allowed. No
// second question; a service manager that started meanwhile on 95/98 stops
// the installation (message 6).
extern "C" UINT __stdcall KxStopServers(MSIHANDLE install) {
  const InstallerRoadScope road(install, /*answer=*/1, /*ask=*/false);
  return StopServers(/*act=*/true) == StopOutcome::kBlocked ? kActionFailure : kActionSuccess;
}

// Deferred after the files (KxRestartServer), and the rollback of
// KxStopServers (KxStopRollback): the web server runs again. A restart that
// fails (message 4, logged) leaves the installation standing.
extern "C" UINT __stdcall KxStartWebServer(MSIHANDLE install) {
  const InstallerRoadScope road(install, /*answer=*/1, /*ask=*/false);
  RestartWebServer();
  return kActionSuccess;
}

// Deferred, before the record is written: a record key that refuses values
// stops the installation with a text of its own, at every UI level, before
// the installer's own error asks Retry or Cancel at full UI. A key that
// doesn't exist yet is the installer's to make.
extern "C" UINT __stdcall KxCheckRecord(MSIHANDLE install) {
  for (const char* name : {KX_INSTALLATION_KEY, KX_JRE_KEY, KX_JRE_VERSION_KEY}) {
    ScopedRegKey key;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, name, 0, KEY_SET_VALUE, key.receive());
    if (opened != ERROR_SUCCESS && opened != ERROR_FILE_NOT_FOUND) {
      LogLine(install, "The installation can't be recorded in the registry (a key of the record "
                       "refuses values): Kestrix was not installed.");
      return kActionFailure;
    }
  }
  return kActionSuccess;
}

// Deferred, after the files: smon.properties names the folder installed
// into. CustomActionData: INSTALLDIR. A file that can't be written is
// logged and the installation goes on, as with the NSIS setup.
extern "C" UINT __stdcall KxWriteSmon(MSIHANDLE install) {
  char folder[kPropertyCapacity];
  char path[kPropertyCapacity];
  char root[kPropertyCapacity];
  char text[kSmonTextCapacity];
  if (ReadProperty(install, kActionData, folder) && FormSmonPath(folder, path) &&
      FormRoot(folder, root) && FormSmonText(root, text)) {
    // CREATE_NEW: one that appeared meanwhile is kept.
    const ScopedHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() && GetLastError() == ERROR_FILE_EXISTS) return kActionSuccess;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(strlen(text));
    if (file.valid() && WriteFile(file.get(), text, size, &written, nullptr) && written == size)
      return kActionSuccess;
  }
  LogLine(install, "The service manager's settings could not be written to smon.properties.");
  return kActionSuccess;
}

// Rollback of KxWriteSmon, which runs only when this run found no file.
extern "C" UINT __stdcall KxSmonRollback(MSIHANDLE install) {
  char folder[kPropertyCapacity];
  char path[kPropertyCapacity];
  if (ReadProperty(install, kActionData, folder) && FormSmonPath(folder, path)) DeleteFileA(path);
  return kActionSuccess;
}
