// The runner: reads a properties file and starts the Java executable it
// names, with class path, search path and arguments from that file, then
// waits for it. The pieces below are platform-neutral; RunFromProperties
// itself is the Windows edge.
#pragma once
#include <stddef.h>

#include "properties.h"

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
  // The first slot with an argument of the runner's own command line. The
  // strings before it are the properties file's, the administrator's own
  // text, and go to the child as written.
  int firstEscaped;
};

// Every string added later counts as a command-line argument until the
// caller moves firstEscaped past the stored ones.
void InitChildArgs(ChildArgs* args, const char* program);
// Appends one string; false, writing nothing, when 49 are already in.
bool AddChildArg(ChildArgs* args, const char* text);

// Cuts the next word out of *cursor in place: words are separated by runs
// of blanks (character 32 only), with no quoting. Returns nullptr when no
// word is left.
char* NextWord(char** cursor);

// The child's command line: the strings joined by single blanks. Slot 0, the
// program, is put in double quotes when it holds a blank, a tab or one of
// & | < > ^ ( ) (where cmd.exe would split it); the
// arguments after it get no quotes, so one with a blank reaches the child as
// several. The stored strings before firstEscaped go as written, so quotes
// in them group words at the child. In a command-line argument, whose quotes
// the runner's C runtime has already taken away, a quote is written \" with
// the backslashes right before it doubled, so that the child's C runtime
// reads the argument back as it was. Walks whole characters of the code page
// of isLeadByte. A malloc'ed text that the caller frees, or nullptr without
// memory.
char* JoinCommandLine(const ChildArgs* args, LeadByteTest isLeadByte);

// cmd.exe runs a batch file (a name ending in ".bat" or ".cmd") and reads
// its command line first, where & | < > ^ ( ) % ! " and line breaks would
// make an argument a command of its own. For such a program file, the first
// command-line argument (from firstEscaped on) that holds one of them, or
// else slot 0 when it holds % or !, which expand even inside the quotes
// the program gets; otherwise nullptr.
const char* ArgumentCmdWouldInterpret(const char* programFile, const ChildArgs* args,
                                      LeadByteTest isLeadByte);

// "front;old", whole, in a malloc'ed text that the caller frees (nullptr
// without memory). A null `old` counts as the empty text.
char* JoinSearchPath(const char* front, const char* old);

// Reads the old PATH as GetEnvironmentVariableA does: with room for it
// (`size`, terminator included) the length copied, else the size it needs,
// terminator included; 0 when the read fails, and kSearchPathAbsent when
// there is no PATH at all.
typedef size_t (*SearchPathReader)(char* buffer, size_t size, void* context);
constexpr size_t kSearchPathAbsent = static_cast<size_t>(-1);

// The PATH to set: `front`, a semicolon and the old PATH read through
// `readOld`, in a malloc'ed text that the caller frees; an absent PATH
// counts as the empty text. nullptr when the old PATH can't be read whole
// or there is no memory for it: PATH must then stay as it is, since setting
// it would lose the old search path.
char* PrependToSearchPath(const char* front, SearchPathReader readOld, void* context);

// Which file the runner starts for a `java.exe` value: a name with no
// backslash, slash or colon is taken in the current directory (".\" in
// front), never on the search path; a name whose last part has no "." gets
// ".com", ".exe", ".bat" and ".cmd" tried in that order. The name is walked
// a character at a time in the code page of isLeadByte, so the second byte
// of a character (表 is 95 5C) is never a separator. `exists` says whether
// a file is there. Writes the file into `out` and returns true, or returns
// false when nothing fits or exists.
bool ResolveProgramFile(const char* name, LeadByteTest isLeadByte,
                        bool (*exists)(const char* path, void* context), void* context, char* out,
                        size_t capacity);

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
