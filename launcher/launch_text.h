// The texts kxlaunch forms from the installation path I: the runtime
// library path, the new PATH, the virtual machine's option texts and the
// main class's look-up name. Platform-neutral, so the host build tests and
// fuzzes them; main.cpp only calls Win32 and JNI with the results.
#pragma once
#include <stddef.h>

#include "../installrecord/installrecord.h"

// The private runtime's virtual machine library, formed in a MAX_PATH buffer.
constexpr size_t kLibraryPathCapacity = kRuntimeLibPathCapacity;
constexpr char kLibraryPathFormat[] = "%s\\jre\\bin\\classic\\jvm.dll";
// The longest I whose library path still fits with its NUL, the limit that
// pathstamp keeps too.
constexpr size_t kMaxInstallPathLength = kMaxInstallRootLength;
static_assert(kMaxInstallPathLength ==
                  kLibraryPathCapacity - 1 - (sizeof kLibraryPathFormat - 1 - 2),
              "library path suffix changed");

// PATH as the virtual machine sees it: I\bin;I\jre\bin;<old PATH>;
constexpr char kNewPathFormat[] = "%s\\bin;%s\\jre\\bin;%s;";
// The old PATH is first read into a buffer of this size; a longer one is
// read again into the heap, whole.
constexpr size_t kOldPathCapacity = 2048;

// The five options, in the order the virtual machine gets them. Option 0 is
// constant; options 1 to 4 are formed from I into heap buffers of
// OptionCapacity bytes.
constexpr int kOptionCount = 5;
constexpr char kOptionCompiler[] = "-Djava.compiler=NONE";
constexpr int kFirstFormedOption = 1;

constexpr char kMainClassName[] = "com.veltrana.kestrix.app.ZephylKestrixApp";
constexpr char kMainMethodName[] = "main";
constexpr char kMainMethodSignature[] = "([Ljava/lang/String;)V";
constexpr char kStringClassName[] = "java/lang/String";

// Writes format into out with each "%s" replaced by the next of args (any
// other character, '%' included, is copied as it is). Returns false, with
// out emptied when capacity allows, when the result and its NUL don't fit
// capacity or format holds more "%s" than args; never writes past capacity.
bool FormatWithArgs(char* out, size_t capacity, const char* format, const char* const* args,
                    size_t argCount);

// True when I of this length leaves room for the library path.
bool InstallPathFitsLibraryPath(size_t installLength);

// The library path into out (kLibraryPathCapacity bytes). False, with out
// empty, when I is longer than kMaxInstallPathLength.
bool FormatLibraryPath(char (&out)[kLibraryPathCapacity], const char* install);

// Bytes the new PATH takes with its NUL: old + 2·L + 16. 0 when that
// overflows size_t.
size_t NewPathSize(size_t installLength, size_t oldPathLength);
bool FormatNewPath(char* out, size_t capacity, const char* install, const char* oldPath);

// Heap size of option index (1 to 4) for an I of installLength: 2·L + 256
// for the class path, L + 256 for the others. 0 for any other index.
size_t OptionCapacity(int index, size_t installLength);
// Option text index (1 to 4) from I. False when it doesn't fit capacity or
// the index is not a formed option.
bool FormatOption(int index, char* out, size_t capacity, const char* install);

// The class look-up form of a dotted class name: every '.' becomes '/'.
void DotsToSlashes(char* name);
