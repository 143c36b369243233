// Feeds token sequences (split at NUL bytes; two NULs in a row make an empty
// token) to the accumulator and checks that the text stays terminated within
// its buffer and holds exactly the whole characters collected, never half a
// double-byte character.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tokens.h"

namespace {

// The checks' own branches would steer the fuzzer nowhere useful, and cost
// more than the accumulator's.
#define KX_NOT_STEERING __attribute__((no_sanitize("coverage")))

KX_NOT_STEERING bool Cp932Lead(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Well-formed text only: a lead byte at the end gets its trail byte.
KX_NOT_STEERING void CompleteLastCharacter(std::string* token) {
  size_t walk = 0;
  while (walk < token->size()) walk += Cp932Lead(static_cast<unsigned char>((*token)[walk])) ? 2 : 1;
  if (walk > token->size()) token->push_back('A');
}

// Adds the token's whole characters while they fit in 4,095.
KX_NOT_STEERING void AppendWholeCharacters(std::string* text, const std::string& token) {
  for (size_t at = 0; at < token.size();) {
    size_t width = Cp932Lead(static_cast<unsigned char>(token[at])) ? 2 : 1;
    if (text->size() + width > kTokenBufferCapacity - 1) return;
    text->append(token, at, width);
    at += width;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  memset(TokenBuffer, 0, sizeof TokenBuffer);
  TokenRecording = false;
  // What the buffer must hold: a collection starts at an empty token, and
  // each later token adds its whole characters while they fit in 4,095.
  std::string expected;
  bool recording = false;
  std::string token;
  for (size_t i = 0; i <= size; ++i) {
    if (i < size && data[i] != 0) {
      // Repeat bytes cheaply so that short inputs reach the limit too.
      token.append(data[i] == 0xFF ? 512 : 1, static_cast<char>(data[i]));
      continue;
    }
    CompleteLastCharacter(&token);
    CollectToken(token.c_str(), Cp932Lead);
    if (token.empty()) {
      expected.clear();
      recording = true;
    } else if (recording) {
      AppendWholeCharacters(&expected, token);
    }
    token.clear();
    // Terminated within its capacity, and exactly the whole characters due.
    size_t length = strnlen(TokenBuffer, kTokenBufferCapacity);
    if (length >= kTokenBufferCapacity) abort();
    if (length != expected.size() || memcmp(TokenBuffer, expected.data(), length) != 0) abort();
  }
  return 0;
}
