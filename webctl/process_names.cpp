#include <string.h>

#include "webctl.h"

namespace {
constexpr size_t kLongestNameWithSuffix = 255;  // 255 + ".exe" + NUL = 260
constexpr char kExeSuffix[] = ".exe";

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

const char* FileNamePart(const char* path, LeadByteTest isLeadByte) {
  const char* slash = LastBackslash(path, isLeadByte);
  return slash ? slash + 1 : path;
}

bool ExeNamesEqual(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
    if (*a == '\0') return true;
  }
}

bool FormExeNameFromInstance(const char* name, char* out, size_t capacity) {
  size_t length = strlen(name);
  if (length + 1 > capacity) return false;
  memcpy(out, name, length + 1);
  // The performance data name processes without their extension.
  if (length <= kLongestNameWithSuffix && length + sizeof kExeSuffix <= capacity)
    memcpy(out + length, kExeSuffix, sizeof kExeSuffix);
  return true;
}
