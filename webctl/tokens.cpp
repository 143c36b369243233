#include "tokens.h"

#include <stdio.h>
#include <string.h>

char TokenBuffer[kTokenBufferCapacity];
bool TokenRecording;

int CollectToken(const char* token, LeadByteTest isLeadByte) {
  if (token == nullptr) return 1;
  if (token[0] == '\0') {
    TokenBuffer[0] = '\0';
    TokenRecording = true;
    return 1;
  }
  if (!TokenRecording) return 1;

  // The buffer is always terminated within its capacity (see below).
  size_t used = strlen(TokenBuffer);
  const size_t limit = kTokenBufferCapacity - 1;
  // Copy whole characters while they fit; a double-byte character that would
  // straddle the limit is left out with everything after it, so the file never
  // gets half a character.
  size_t i = 0;
  while (token[i] != '\0') {
    size_t width = 1;
    if (isLeadByte && isLeadByte(static_cast<unsigned char>(token[i])) && token[i + 1] != '\0')
      width = 2;
    if (used + width > limit) break;
    memcpy(TokenBuffer + used, token + i, width);
    used += width;
    i += width;
  }
  TokenBuffer[used] = '\0';
  return 1;
}

int AppendCollectedText(const char* path) {
  if (!TokenRecording || path == nullptr) return 0;
  FILE* file = fopen(path, "a");
  if (file == nullptr) return 0;
  // A full disk shows in fputs or, for what the stream still buffers, in the
  // flush; either leaves a cut or empty file, which the installer must hear
  // of. The flush is asked for before the close because Wine's fclose drops
  // the error of its own flush. The file is closed in every case.
  bool written = fputs(TokenBuffer, file) >= 0;
  written = fflush(file) == 0 && written;
  bool closed = fclose(file) == 0;
  return written && closed ? 1 : 0;
}
