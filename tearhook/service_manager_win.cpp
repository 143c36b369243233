#include "installrecord.h"
#include "tearhook.h"
#include "webctl.h"

namespace {

// Started hidden and not waited for; whether it could start changes nothing
// for the uninstaller.
void StartRemoval(char* command) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_FORCEONFEEDBACK;  // 65
  startup.wShowWindow = SW_HIDE;
  startup.lpTitle = command;
  PROCESS_INFORMATION process;
  ZeroMemory(&process, sizeof process);
  if (CreateProcessA(/*application=*/nullptr, command, nullptr, nullptr,
                     /*inherit_handles=*/FALSE, NORMAL_PRIORITY_CLASS,
                     /*environment=*/nullptr, /*current_directory=*/nullptr, &startup,
                     &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

}  // namespace

void RemoveServiceManager() {
  HeapText installPath(ReadRegistryString(KX_INSTALLATION_KEY_UPPER, KX_VALUE_INSTALL_PATH));
  if (!installPath) return;

  switch (GetPlatformFamily()) {
    case VER_PLATFORM_WIN32_NT: {
      // A path too long for the command is treated like a missing one: a
      // cut command line would start something other than the removal.
      char command[kRemovalCommandCapacity];
      if (!FormRemovalCommand(installPath.get(), command, sizeof command)) return;
      StartRemoval(command);
      break;
    }
    case VER_PLATFORM_WIN32_WINDOWS: {
      // No service to remove here, so no command and no limit on the path:
      // the user is told to stop it by hand.
      UINT index = 0;
      if (FindProcess(&index, KX_SERVICE_MANAGER_EXE))
        ShowMessage(kMsgServiceManagerRunning, kBoxOk);
      break;
    }
    default:
      break;
  }
  // Gives the removal time to run before the uninstaller deletes its files.
  Sleep(kRemovalPauseMs);
}
