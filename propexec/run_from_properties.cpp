// The Windows edge of the runner: debug output, the environment and the
// child process. The properties file's name in the messages is the service
// manager's, whose runner this is.
#include <windows.h>

#include <stdlib.h>

#include "../common/scoped.h"
#include "properties.h"
#include "runner.h"

namespace {

constexpr char kNoFile[] = "Did not find required 'smon.properties' file in: %s\n";
constexpr char kNoJavaExe[] = "Did not find required 'java.exe' entry in: %s\n";
constexpr char kJavaExe[] = "javaExe: %s\n";
constexpr char kRunning[] = "Running %s\n";
constexpr char kStopped[] = "%s Stopped\n";
constexpr char kDropped[] = "More than 49 strings for the child, dropped: %s\n";
constexpr char kNoPathGiven[] = "(no path given)";
constexpr char kCmdWouldInterpret[] =
    "Batch file not run: cmd.exe would take this argument as a command: %s\n";

// Text is in the ANSI code page, where a backslash byte may be the second
// byte of a character.
bool IsAnsiLeadByte(unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; }

void Say(const char* format, const char* text) {
  char message[kMessageCapacity];
  FormatDebugMessage(message, sizeof message, format, text);
  OutputDebugStringA(message);
}

void Add(ChildArgs* args, const char* text) {
  if (!AddChildArg(args, text)) Say(kDropped, text);
}

// Only a PATH that isn't there counts as empty: any other 0 is a failed
// read, which must leave PATH as it is.
size_t ReadSearchPath(char* buffer, size_t size, void*) {
  const DWORD length = GetEnvironmentVariableA("PATH", buffer, static_cast<DWORD>(size));
  return length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND ? kSearchPathAbsent : length;
}

// PATH becomes the given front, a semicolon and the old PATH, however long.
// Without the memory for that, PATH stays as it was.
void PrependSearchPath(const char* front) {
  char* joined = PrependToSearchPath(front, ReadSearchPath, nullptr);
  if (joined) SetEnvironmentVariableA("PATH", joined);
  free(joined);
}

bool IsFile(const char* path, void*) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A child that can't be started is not reported: the messages around the
// start are written either way.
void StartAndWait(const ChildArgs* args) {
  char program[kProgramFileCapacity];
  if (!ResolveProgramFile(args->slots[0], IsAnsiLeadByte, IsFile, nullptr, program,
                          sizeof program))
    return;
  // An argument that cmd.exe would run as a command is refused rather than
  // escaped: no escape holds for every character in every context (% and !
  // expand even inside quotes, and the batch file expands %1 again).
  if (const char* refused = ArgumentCmdWouldInterpret(program, args, IsAnsiLeadByte)) {
    Say(kCmdWouldInterpret, refused);
    return;
  }
  char* commandLine = JoinCommandLine(args, IsAnsiLeadByte);
  if (!commandLine) return;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (CreateProcessA(program, commandLine, nullptr, nullptr, /*bInheritHandles=*/TRUE,
                     /*dwCreationFlags=*/0, /*lpEnvironment=*/nullptr,
                     /*lpCurrentDirectory=*/nullptr, &startup, &child)) {
    ScopedHandle process(child.hProcess);
    ScopedHandle thread(child.hThread);
    WaitForSingleObject(process.get(), INFINITE);
  }
  free(commandLine);
}

}  // namespace

int RunFromProperties(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : nullptr;
  PropertyTable* table = path ? LoadProperties(path, IsAnsiLeadByte) : nullptr;
  if (!table) {
    Say(kNoFile, path ? path : kNoPathGiven);
    return 0;
  }
  char* javaExe = GetProperty(table, "java.exe");
  if (!javaExe) {
    Say(kNoJavaExe, path);
    return 0;
  }
  ChildArgs args;
  InitChildArgs(&args, javaExe);
  Say(kJavaExe, javaExe);

  if (const char* classPath = GetProperty(table, "java.classpath"))
    SetEnvironmentVariableA("CLASSPATH", classPath);
  if (const char* searchPath = GetProperty(table, "java.path")) PrependSearchPath(searchPath);

  if (char* javaArgs = GetProperty(table, "java.args")) {
    char* cursor = javaArgs;  // split in place; the table lives until exit
    while (char* word = NextWord(&cursor)) Add(&args, word);
  }
  args.firstEscaped = args.count;
  for (int i = 2; i < argc; ++i) Add(&args, argv[i]);

  Say(kRunning, javaExe);
  StartAndWait(&args);
  Say(kStopped, javaExe);
  return 0;
}
