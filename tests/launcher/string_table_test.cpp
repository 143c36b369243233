// Reading kxlaunch's messages out of a string-table block, natively.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "string_table.h"

namespace {

// A block as the resource compiler lays it out: 16 counted texts.
std::vector<uint16_t> Block(const std::vector<std::u16string>& texts) {
  std::vector<uint16_t> block;
  for (unsigned i = 0; i < kStringTableBlockSize; ++i) {
    std::u16string text = i < texts.size() ? texts[i] : u"";
    block.push_back(static_cast<uint16_t>(text.size()));
    block.insert(block.end(), text.begin(), text.end());
  }
  return block;
}

std::u16string Find(const std::vector<uint16_t>& block, unsigned index, size_t units) {
  const uint16_t* text = nullptr;
  size_t length = 0;
  if (!FindTableString(block.data(), units, index, &text, &length)) return u"<none>";
  return std::u16string(text, text + length);
}

TEST(StringTable, FindsEachTextAfterTheOnesBeforeIt) {
  auto block = Block({u"", u"Unable to locate", u"", u"Could not load: %s"});
  EXPECT_EQ(Find(block, 1, block.size()), u"Unable to locate");
  EXPECT_EQ(Find(block, 3, block.size()), u"Could not load: %s");
  EXPECT_EQ(Find(block, 2, block.size()), u"");
  EXPECT_EQ(Find(block, 15, block.size()), u"");
  EXPECT_EQ(Find(block, 16, block.size()), u"<none>");
}

TEST(StringTable, ACountRunningPastTheBlockFindsNothing) {
  auto block = Block({u"", u"abc"});
  // Cut inside text 1: its count says 3 units, only 2 are left.
  EXPECT_EQ(Find(block, 1, 4), u"<none>");
  EXPECT_EQ(Find(block, 1, 5), u"abc");
  EXPECT_EQ(Find(block, 2, 5), u"<none>") << "block ends before text 2";
  EXPECT_EQ(Find(block, 0, 0), u"<none>");
}

}  // namespace
