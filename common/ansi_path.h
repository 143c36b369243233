// Backslashes in a path of the ANSI code page. In a double-byte code page
// (932 on Japanese Windows) the second byte of a character can be 0x5C (ソ
// is 83 5C), so a path is walked a character at a time, as CharNextA does,
// and never searched byte by byte. Platform-neutral: the caller passes the
// code page's lead-byte test, so the host tests run these as code page 932.
#pragma once

// Tells whether a byte starts a double-byte character in the ANSI code page;
// nullptr stands for a single-byte code page.
typedef bool (*LeadByteTest)(unsigned char byte);

// The first backslash at or after p that is a character of its own, or
// nullptr. p must point at the start of a character. A lead byte right
// before the terminator counts as one character, as CharNextA takes it.
inline const char* NextBackslash(const char* p, LeadByteTest isLeadByte) {
  for (; *p != '\0'; ++p) {
    if (*p == '\\') return p;
    if (isLeadByte && isLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') ++p;
  }
  return nullptr;
}

// The last backslash of path that is a character of its own, or nullptr.
inline const char* LastBackslash(const char* path, LeadByteTest isLeadByte) {
  const char* last = nullptr;
  for (const char* at = NextBackslash(path, isLeadByte); at; at = NextBackslash(at + 1, isLeadByte))
    last = at;
  return last;
}

#ifdef _WIN32
#include <windows.h>

// The system's own test, for the Win32 edge.
inline bool IsAnsiLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }
#endif
