// The runner: reads a properties file and starts the Java executable it
// names, with class path, search path and arguments from that file, then
// waits for it. The pieces below are platform-neutral; RunFromProperties
// itself is the Windows edge.
#pragma once
#include <stddef.h>

constexpr int kChildSlots = 50;              // 49 strings and the closing null
constexpr int kChildStringsMax = kChildSlots - 1;
constexpr size_t kMessageCapacity = 1028;    // one debug message, terminator included
// The longest program file: ".\" + a whole value + ".cmd" + terminator.
constexpr size_t kProgramFileCapacity = 2 + 4095 + 4 + 1;

// The child's argument vector: slot 0 is the program, the slot after the
// last string holds null.
struct ChildArgs {
  const char* slots[kChildSlots];
  int count;  // strings in use, the null excluded
};

void InitChildArgs(ChildArgs* args, const char* program);
// Appends one string; false, writing nothing, when 49 are already in.
bool AddChildArg(ChildArgs* args, const char* text);

// Cuts the next word out of *cursor in place: words are separated by runs
// of blanks (character 32 only), with no quoting. Returns nullptr when no
// word is left.
char* NextWord(char** cursor);

// The child's command line: the strings joined by single blanks. Slot 0, the
// program, is put in double quotes when it holds a blank or a tab; the
// arguments after it get no quotes, so one with a blank reaches the child as
// several. A malloc'ed text that the caller frees, or nullptr without memory.
char* JoinCommandLine(const ChildArgs* args);

// "front;old", whole, in a malloc'ed text that the caller frees (nullptr
// without memory). A null `old` counts as the empty text.
char* JoinSearchPath(const char* front, const char* old);

// Which file the runner starts for a `java.exe` value: a name with no
// backslash, slash or colon is taken in the current directory (".\" in
// front), never on the search path; a name whose last part has no "." gets
// ".com", ".exe", ".bat" and ".cmd" tried in that order. `exists` says
// whether a file is there. Writes the file into `out` and returns true, or
// returns false when nothing fits or exists.
bool ResolveProgramFile(const char* name, bool (*exists)(const char* path, void* context),
                        void* context, char* out, size_t capacity);

// Formats `format`, which holds one "%s", with `text` (null counts as "")
// into `out`. When the result doesn't fit, the inserted text is cut so that
// the rest of the format, its line end included, still comes out whole.
void FormatDebugMessage(char* out, size_t capacity, const char* format, const char* text);

#ifdef _WIN32
// Both programs' body: argv[1] is the properties file, the arguments after
// it go to the child. Writes its diagnostics with OutputDebugStringA only and
// returns 0 in every case.
int RunFromProperties(int argc, char** argv);
#endif
