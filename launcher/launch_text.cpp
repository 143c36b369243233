// Platform-neutral: also built natively for the unit tests and the fuzzer.
#include "launch_text.h"

#include <stdint.h>
#include <string.h>

namespace {

struct OptionForm {
  const char* format;
  size_t installCopies;  // how often I appears, which sizes the heap buffer
};

// Indexed by option number; entry 0 is the constant kOptionCompiler.
constexpr OptionForm kOptionForms[kOptionCount] = {
    {nullptr, 0},
    {"-Djava.class.path=%s\\classes\\zephkes.jar;%s\\classes", 2},
    {"-Djava.library.path=%s\\bin", 1},
    // java.Home with a capital H: the application reads it under that name.
    {"-Djava.Home=%s\\jre", 1},
    {"-Dcom.veltrana.kestrix.installpath=%s", 1},
};

// Every formed option's fixed text is shorter than the 256 spare bytes of
// its buffer, so OptionCapacity always leaves room.
constexpr size_t kOptionSpare = 256;
static_assert(sizeof "-Djava.class.path=%s\\classes\\zephkes.jar;%s\\classes" < kOptionSpare,
              "class path option outgrew its buffer");
static_assert(sizeof "-Dcom.veltrana.kestrix.installpath=%s" < kOptionSpare,
              "install path option outgrew its buffer");

void Empty(char* out, size_t capacity) {
  if (capacity > 0) out[0] = '\0';
}

}  // namespace

bool FormatWithArgs(char* out, size_t capacity, const char* format, const char* const* args,
                    size_t argCount) {
  if (capacity == 0) return false;
  size_t used = 0;  // characters written so far; used < capacity holds throughout
  size_t nextArg = 0;
  for (const char* p = format; *p; ++p) {
    const char* piece = p;
    size_t length = 1;
    if (p[0] == '%' && p[1] == 's') {
      if (nextArg == argCount) {
        Empty(out, capacity);
        return false;
      }
      // The analyzer doesn't follow FormatOption's table: each form holds
      // exactly installCopies "%s", and args has that many entries.
      piece = args[nextArg++];  // NOLINT(clang-analyzer-core.uninitialized.Assign)
      length = strlen(piece);
      ++p;
    }
    if (length >= capacity - used) {  // keeps one byte for the NUL
      Empty(out, capacity);
      return false;
    }
    memcpy(out + used, piece, length);
    used += length;
  }
  out[used] = '\0';
  return true;
}

bool InstallPathFitsLibraryPath(size_t installLength) {
  return installLength <= kMaxInstallPathLength;
}

bool FormatLibraryPath(char (&out)[kLibraryPathCapacity], const char* install) {
  if (!InstallPathFitsLibraryPath(strlen(install))) {
    out[0] = '\0';
    return false;
  }
  const char* args[] = {install};
  return FormatWithArgs(out, kLibraryPathCapacity, kLibraryPathFormat, args, 1);
}

size_t NewPathSize(size_t installLength, size_t oldPathLength) {
  // The format's fixed characters plus the NUL: 15 + 1.
  constexpr size_t kFixed = sizeof kNewPathFormat - 3 * 2;
  static_assert(kFixed == 16, "new PATH format changed");
  if (installLength > (SIZE_MAX - kFixed) / 2) return 0;
  size_t size = 2 * installLength + kFixed;
  if (oldPathLength > SIZE_MAX - size) return 0;
  return size + oldPathLength;
}

bool FormatNewPath(char* out, size_t capacity, const char* install, const char* oldPath) {
  const char* args[] = {install, install, oldPath};
  return FormatWithArgs(out, capacity, kNewPathFormat, args, 3);
}

size_t OptionCapacity(int index, size_t installLength) {
  if (index < kFirstFormedOption || index >= kOptionCount) return 0;
  size_t copies = kOptionForms[index].installCopies;
  if (installLength > (SIZE_MAX - kOptionSpare) / copies) return 0;
  return copies * installLength + kOptionSpare;
}

bool FormatOption(int index, char* out, size_t capacity, const char* install) {
  if (index < kFirstFormedOption || index >= kOptionCount) {
    Empty(out, capacity);
    return false;
  }
  const char* args[] = {install, install};
  return FormatWithArgs(out, capacity, kOptionForms[index].format, args,
                        kOptionForms[index].installCopies);
}

void DotsToSlashes(char* name) {
  for (char* p = name; *p; ++p)
    if (*p == '.') *p = '/';
}
