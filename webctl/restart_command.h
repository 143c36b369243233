// Forming the command that restarts the web server on Windows 95/98, kept
// platform-neutral so its bounds are tested natively.
#pragma once
#include <stddef.h>

// The restart command is built in a buffer of MAX_PATH bytes, terminator
// included.
constexpr size_t kCommandCapacity = 260;

// What follows the system directory in the 95/98 restart command.
constexpr char kRestartCommandSuffix[] = "\\inetsrv\\inetinfo.exe -e w3svc";

// Writes systemDir (its first systemDirLength characters) followed directly
// by kRestartCommandSuffix into out. Returns false, leaving out empty, when
// the directory is empty or the whole command doesn't fit in capacity bytes:
// a cut command would start the wrong program or none.
bool FormRestartCommand(char* out, size_t capacity, const char* systemDir,
                        size_t systemDirLength);
