#include <stdlib.h>
#include <string.h>

#include "runner.h"

void InitChildArgs(ChildArgs* args, const char* program) {
  args->slots[0] = program;
  args->slots[1] = nullptr;
  args->count = 1;
  args->firstEscaped = 1;
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

namespace {

// The character after the one at p: a lead byte and a second byte are one,
// as CharNextA takes them.
const char* NextChar(const char* p, LeadByteTest isLeadByte) {
  return isLeadByte && isLeadByte(static_cast<unsigned char>(*p)) && p[1] ? p + 2 : p + 1;
}

// Writes an argument so that the child's C runtime reads it back as it is:
// 2n backslashes before a quote give n, 2n + 1 give n and the quote. A
// backslash byte inside a character is not one of them.
char* WriteArgument(char* write, const char* text, LeadByteTest isLeadByte) {
  size_t backslashes = 0;
  for (const char* p = text; *p;) {
    const char* next = NextChar(p, isLeadByte);
    if (*p == '"') {
      for (size_t i = 0; i <= backslashes; ++i) *write++ = '\\';
      backslashes = 0;
    } else {
      backslashes = *p == '\\' ? backslashes + 1 : 0;
    }
    while (p < next) *write++ = *p++;
  }
  return write;
}

}  // namespace

char* JoinCommandLine(const ChildArgs* args, LeadByteTest isLeadByte) {
  // The child splits its own command line: a program path with a blank, as
  // under "Program Files", must come back to it as one argument 0. So must
  // one that cmd.exe, which runs a batch file, would split at & | < > ^ ( ),
  // such as C:\R&D\run.bat. A path can't hold a quote, so none needs
  // escaping.
  const bool quoteProgram =
      args->count > 0 && strpbrk(args->slots[0], " \t&|<>^()") != nullptr;
  size_t total = 1 + (quoteProgram ? 2 : 0);
  // An escaped argument is at most twice as long.
  for (int i = 0; i < args->count; ++i) total += 2 * strlen(args->slots[i]) + 1;
  char* line = static_cast<char*>(malloc(total));
  if (!line) return nullptr;
  char* write = line;
  if (args->count > 0) {
    if (quoteProgram) *write++ = '"';
    const size_t length = strlen(args->slots[0]);
    memcpy(write, args->slots[0], length);
    write += length;
    if (quoteProgram) *write++ = '"';
  }
  for (int i = 1; i < args->count; ++i) {
    *write++ = ' ';
    if (i >= args->firstEscaped) {
      write = WriteArgument(write, args->slots[i], isLeadByte);
    } else {
      const size_t length = strlen(args->slots[i]);
      memcpy(write, args->slots[i], length);
      write += length;
    }
  }
  *write = '\0';
  return line;
}

namespace {

// Windows drops trailing dots and blanks when it opens a file, so "run.bat."
// runs the batch file too. None of these bytes can be the second byte of a
// character.
bool IsBatchFile(const char* file) {
  size_t n = strlen(file);
  while (n > 0 && (file[n - 1] == '.' || file[n - 1] == ' ')) --n;
  if (n < 4 || file[n - 4] != '.') return false;
  char extension[4] = {};
  for (size_t i = 0; i < 3; ++i) {
    const char c = file[n - 3 + i];
    extension[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return strcmp(extension, "bat") == 0 || strcmp(extension, "cmd") == 0;
}

}  // namespace

const char* ArgumentCmdWouldInterpret(const char* programFile, const ChildArgs* args,
                                      LeadByteTest isLeadByte) {
  if (!IsBatchFile(programFile)) return nullptr;
  // Read a character at a time: ポ (83 7C) holds a "|" byte that cmd.exe,
  // which reads the command line as Unicode, never sees. A parenthesis
  // opens or closes a block around the batch file's %*. Blanks, tabs, ",",
  // ";" and "=" only split arguments, and "@" and ":" count only where a
  // command begins, which takes one of the refused characters to reach.
  for (int i = args->firstEscaped; i < args->count; ++i) {
    for (const char* p = args->slots[i]; *p; p = NextChar(p, isLeadByte)) {
      if (strchr("&|<>^()%!\"\r\n", *p)) return args->slots[i];
    }
  }
  // The program's path is quoted (JoinCommandLine), but % and ! expand even
  // inside quotes.
  if (args->count > 0) {
    for (const char* p = args->slots[0]; *p; p = NextChar(p, isLeadByte)) {
      if (*p == '%' || *p == '!') return args->slots[0];
    }
  }
  return nullptr;
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

char* PrependToSearchPath(const char* front, SearchPathReader readOld, void* context) {
  constexpr int kReadTries = 4;  // asked again only when PATH grew meanwhile
  size_t size = readOld(nullptr, 0, context);
  char* old = nullptr;
  // A failed read, the first or a later one, keeps PATH: the ANSI call needs
  // memory of its own.
  for (int tries = 0; size != kSearchPathAbsent; ++tries) {
    if (size == 0 || tries == kReadTries) return nullptr;
    old = static_cast<char*>(malloc(size));
    if (!old) return nullptr;
    const size_t got = readOld(old, size, context);
    if (got > 0 && got < size) break;
    free(old);
    old = nullptr;
    // An empty PATH copies nothing and gives 0, as a failed read does:
    // either way there is no old search path to lose.
    if (size == 1 && (got == 0 || got == kSearchPathAbsent)) break;
    if (got < size || got == kSearchPathAbsent) return nullptr;
    size = got;
  }
  char* joined = JoinSearchPath(front, old);
  free(old);
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

bool ResolveProgramFile(const char* name, LeadByteTest isLeadByte,
                        bool (*exists)(const char* path, void* context), void* context, char* out,
                        size_t capacity) {
  const char* lastPart = name;
  bool dotted = false;  // the last part holds a "."
  for (const char* p = name; *p; p = NextChar(p, isLeadByte)) {
    if (*p == '\\' || *p == '/' || *p == ':') {
      lastPart = p + 1;
      dotted = false;
    } else if (*p == '.') {
      dotted = true;
    }
  }
  const char* prefix = lastPart == name ? ".\\" : "";
  if (dotted) {
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
