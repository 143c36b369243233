// The component-flag test: which texts count as "true".
#include <gtest/gtest.h>

#include "tearhook.h"

namespace {

int NoLeadBytes(unsigned char) { return 0; }
// The lead bytes of the Japanese double-byte code page 932.
int JapaneseLeadBytes(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

TEST(FlagText, TrueInAnyCaseAfterControlBytesWhateverFollows) {
  for (const char* text : {"true", "TRUE", "tRuE", "\ttrue", "\r\n\x01\x1ftrue", "true\r\n",
                           "trueish", "True, false"})
    EXPECT_TRUE(FlagTextIsSet(text, NoLeadBytes)) << text;
}

TEST(FlagText, AnythingElseIsNotSet) {
  for (const char* text : {"", " true", "tru", "t", "\t", "\t\r\n", "false", "1", "yes", "\x7ftrue",
                           "tr ue", "rue"})
    EXPECT_FALSE(FlagTextIsSet(text, NoLeadBytes)) << text;
}

TEST(FlagText, UpperHalfBytesAreSkippedUnlessTheyLeadADoubleByteCharacter) {
  EXPECT_TRUE(FlagTextIsSet("\x81true", NoLeadBytes));
  EXPECT_FALSE(FlagTextIsSet("\x81true", JapaneseLeadBytes));
  EXPECT_FALSE(FlagTextIsSet("\x01\xE0\x40true", JapaneseLeadBytes));
  // 0xA0 to 0xDF are single-byte characters in code page 932.
  EXPECT_TRUE(FlagTextIsSet("\xA0\xDF\x80\xFF\x1btrue", JapaneseLeadBytes));
  EXPECT_FALSE(FlagTextIsSet("\xA0\xFF", NoLeadBytes));
  EXPECT_FALSE(FlagTextIsSet("\x81", JapaneseLeadBytes));
}

}  // namespace
