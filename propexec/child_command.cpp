#include <stdlib.h>
#include <string.h>

#include "runner.h"

void InitChildArgs(ChildArgs* args, const char* program) {
  args->slots[0] = program;
  args->slots[1] = nullptr;
  args->count = 1;
}

bool AddChildArg(ChildArgs* args, const char* text) {
  if (args->count >= kChildStringsMax) return false;
  args->slots[args->count++] = text;
  args->slots[args->count] = nullptr;
  return true;
}

char* NextWord(char** cursor) {
  char* p = *cursor;
  while (*p == ' ') ++p;
  if (!*p) {
    *cursor = p;
    return nullptr;
  }
  char* word = p;
  while (*p && *p != ' ') ++p;
  if (*p) *p++ = '\0';
  *cursor = p;
  return word;
}

char* JoinCommandLine(const ChildArgs* args) {
  // The child splits its own command line: a program path with a blank, as
  // under "Program Files", must come back to it as one argument 0. A path
  // can't hold a quote, so none needs escaping.
  const bool quoteProgram = args->count > 0 && strpbrk(args->slots[0], " \t") != nullptr;
  size_t total = 1 + (quoteProgram ? 2 : 0);
  for (int i = 0; i < args->count; ++i) total += strlen(args->slots[i]) + 1;
  char* line = static_cast<char*>(malloc(total));
  if (!line) return nullptr;
  char* write = line;
  for (int i = 0; i < args->count; ++i) {
    if (i > 0) *write++ = ' ';
    const bool quoted = i == 0 && quoteProgram;
    if (quoted) *write++ = '"';
    size_t length = strlen(args->slots[i]);
    memcpy(write, args->slots[i], length);
    write += length;
    if (quoted) *write++ = '"';
  }
  *write = '\0';
  return line;
}

char* JoinSearchPath(const char* front, const char* old) {
  if (!old) old = "";
  size_t a = strlen(front), b = strlen(old);
  char* joined = static_cast<char*>(malloc(a + 1 + b + 1));
  if (!joined) return nullptr;
  // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the last copy brings the NUL
  memcpy(joined, front, a);
  joined[a] = ';';
  memcpy(joined + a + 1, old, b + 1);
  return joined;
}

namespace {

// Writes prefix + name + suffix when it fits.
bool Compose(char* out, size_t capacity, const char* prefix, const char* name,
             const char* suffix) {
  size_t a = strlen(prefix), b = strlen(name), c = strlen(suffix);
  if (a + b + c + 1 > capacity) return false;
  // NOLINTBEGIN(bugprone-not-null-terminated-result): the suffix brings the NUL
  memcpy(out, prefix, a);
  memcpy(out + a, name, b);
  // NOLINTEND(bugprone-not-null-terminated-result)
  memcpy(out + a + b, suffix, c + 1);
  return true;
}

}  // namespace

bool ResolveProgramFile(const char* name, bool (*exists)(const char* path, void* context),
                        void* context, char* out, size_t capacity) {
  const char* lastPart = name;
  for (const char* p = name; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') lastPart = p + 1;
  }
  const char* prefix = lastPart == name ? ".\\" : "";
  if (strchr(lastPart, '.')) {
    return Compose(out, capacity, prefix, name, "") && exists(out, context);
  }
  static const char* const kExtensions[] = {".com", ".exe", ".bat", ".cmd"};
  for (const char* extension : kExtensions) {
    if (Compose(out, capacity, prefix, name, extension) && exists(out, context)) return true;
  }
  return false;
}

void FormatDebugMessage(char* out, size_t capacity, const char* format, const char* text) {
  if (capacity == 0) return;
  if (!text) text = "";
  const char* mark = strstr(format, "%s");
  size_t prefix = mark ? static_cast<size_t>(mark - format) : strlen(format);
  const char* suffix = mark ? mark + 2 : "";
  size_t suffixLength = strlen(suffix);
  size_t room = capacity - 1;
  // The fixed parts are short; they are cut only if the buffer can't hold them.
  if (prefix > room) prefix = room;
  if (suffixLength > room - prefix) suffixLength = room - prefix;
  size_t textLength = strlen(text);
  if (textLength > room - prefix - suffixLength) textLength = room - prefix - suffixLength;
  memcpy(out, format, prefix);
  memcpy(out + prefix, text, textLength);
  memcpy(out + prefix + textLength, suffix, suffixLength);
  out[prefix + textLength + suffixLength] = '\0';
}
