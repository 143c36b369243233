// Platform-neutral: also built natively for the unit tests.
#include "tearhook.h"

bool FlagTextIsSet(const char* text, DbcsLeadByteTest isLeadByte) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  // The installer may have left control bytes, or single bytes of the upper
  // half, before the word; a double-byte character stops the skipping.
  while (*p != '\0' && !isLeadByte(*p) && static_cast<signed char>(*p) < 32) ++p;
  static constexpr char kWord[] = "true";
  for (size_t i = 0; i < sizeof kWord - 1; ++i) {
    unsigned char c = p[i];  // never read past the NUL: it matches no letter
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if (c != static_cast<unsigned char>(kWord[i])) return false;
  }
  return true;
}
