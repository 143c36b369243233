// Forming the commands that the library starts from the system directory,
// kept platform-neutral so their bounds are tested natively.
#pragma once
#include <stddef.h>

// Every command is built in a buffer of MAX_PATH bytes, terminator included.
constexpr size_t kCommandCapacity = 260;

// The 95/98 restart command: this program in the system directory, then
// these arguments.
constexpr char kRestartProgram[] = "\\inetsrv\\inetinfo.exe";
constexpr char kRestartArguments[] = " -e w3svc";

// The NT service commands name the system's own net.exe by its full path, so
// that CreateProcessA never searches for it: a net.exe planted next to the
// installer, or in its current folder, would otherwise run with its rights.
constexpr char kNetProgram[] = "\\net.exe";

// Writes the program's full path (systemDir, its first systemDirLength
// characters, followed directly by program) and then arguments into out.
// The path is put in quotes when alwaysQuote is set or it holds a blank or
// tab, so that CreateProcessA can't take a shorter prefix of it for the
// program. Returns false, leaving out empty, when the directory is empty or
// the whole command doesn't fit in capacity bytes: a cut command would start
// the wrong program or none.
bool FormSystemCommand(char* out, size_t capacity, const char* systemDir, size_t systemDirLength,
                       const char* program, const char* arguments, bool alwaysQuote);

// "<systemDir>\inetsrv\inetinfo.exe" -e w3svc, always quoted.
bool FormRestartCommand(char* out, size_t capacity, const char* systemDir,
                        size_t systemDirLength);
// <systemDir>\net.exe followed by arguments (which begin with their blank),
// quoted only when the path holds a blank.
bool FormNetCommand(char* out, size_t capacity, const char* systemDir, size_t systemDirLength,
                    const char* arguments);
