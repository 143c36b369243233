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

void Say(const char* format, const char* text) {
  char message[kMessageCapacity];
  FormatDebugMessage(message, sizeof message, format, text);
  OutputDebugStringA(message);
}

void Add(ChildArgs* args, const char* text) {
  if (!AddChildArg(args, text)) Say(kDropped, text);
}

// The whole old PATH, or nullptr when it is absent, empty or without
// memory. Asked again if it grew between the two calls.
char* ReadSearchPath() {
  DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  while (size > 0) {
    char* text = static_cast<char*>(malloc(size));
    if (!text) return nullptr;
    DWORD got = GetEnvironmentVariableA("PATH", text, size);
    if (got < size) return text;
    free(text);
    size = got;
  }
  return nullptr;
}

// PATH becomes the given front, a semicolon and the old PATH, however long.
void PrependSearchPath(const char* front) {
  char* old = ReadSearchPath();
  char* joined = JoinSearchPath(front, old);
  if (joined) SetEnvironmentVariableA("PATH", joined);
  free(joined);
  free(old);
}

bool IsFile(const char* path, void*) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A child that can't be started is not reported: the messages around the
// start are written either way.
void StartAndWait(const ChildArgs* args) {
  char program[kProgramFileCapacity];
  if (!ResolveProgramFile(args->slots[0], IsFile, nullptr, program, sizeof program)) return;
  char* commandLine = JoinCommandLine(args);
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
  PropertyTable* table = path ? LoadProperties(path) : nullptr;
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
  for (int i = 2; i < argc; ++i) Add(&args, argv[i]);

  Say(kRunning, javaExe);
  StartAndWait(&args);
  Say(kStopped, javaExe);
  return 0;
}
