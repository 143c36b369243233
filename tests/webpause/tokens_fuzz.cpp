// Feeds token sequences (split at NUL bytes; two NULs in a row make an empty
// token) to the accumulator and checks that the text stays terminated within
// its buffer and never ends in half a double-byte character.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tokens.h"

namespace {
bool Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  memset(TokenBuffer, 0, sizeof TokenBuffer);
  TokenRecording = false;
  std::string token;
  for (size_t i = 0; i <= size; ++i) {
    if (i < size && data[i] != 0) {
      // Repeat bytes cheaply so that short inputs reach the limit too.
      token.append(data[i] == 0xFF ? 512 : 1, static_cast<char>(data[i]));
      continue;
    }
    // Well-formed text only: a lead byte at the end gets its trail byte.
    size_t walk = 0;
    while (walk < token.size()) walk += Cp932Lead(static_cast<unsigned char>(token[walk])) ? 2 : 1;
    if (walk > token.size()) token.push_back('A');
    CollectToken(token.c_str(), Cp932Lead);
    token.clear();
    size_t length = strnlen(TokenBuffer, kTokenBufferCapacity);
    if (length >= kTokenBufferCapacity) abort();
    // Whole characters only: walking from the start never steps past the end.
    size_t at = 0;
    while (at < length) at += Cp932Lead(static_cast<unsigned char>(TokenBuffer[at])) ? 2 : 1;
    if (at != length) abort();
  }
  return 0;
}
