#include "webctl.h"

// Cuts at the buffer's limit fall between characters of the ANSI code page
// (932 on a Japanese system), never inside one.
int KX_EXPORT_CC AddToken(const char* token) {
  return CollectToken(token, IsAnsiLeadByte);
}

int KX_EXPORT_CC WriteTokens(const char* path) { return AppendCollectedText(path); }
