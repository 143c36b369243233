// The token accumulator as the installer drives it: collect, cut at the
// buffer's limit, append to a file.
#include <gtest/gtest.h>
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "tokens.h"

namespace {

class Tokens : public ::testing::Test {
 protected:
  void SetUp() override {
    // The state a freshly loaded DLL has.
    memset(TokenBuffer, 0, sizeof TokenBuffer);
    TokenRecording = false;
    char name[] = "/tmp/kx_tokens_XXXXXX";
    int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    unlink(name);
    path_ = name;
  }
  void TearDown() override { unlink(path_.c_str()); }

  std::string FileText() {
    FILE* f = fopen(path_.c_str(), "rb");
    if (!f) return "<missing>";
    std::string text;
    char chunk[1024];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
    fclose(f);
    return text;
  }
  bool FileExists() { return access(path_.c_str(), F_OK) == 0; }

  std::string path_;
};

// Pretends that bytes 0x81..0x9F start a double-byte character, as in
// code page 932.
bool Cp932Lead(unsigned char b) { return b >= 0x81 && b <= 0x9F; }

TEST_F(Tokens, NothingIsWrittenOrCreatedBeforeTheFirstEmptyToken) {
  EXPECT_EQ(CollectToken("dropped", nullptr), 1);
  EXPECT_EQ(AppendCollectedText(path_.c_str()), 0);
  EXPECT_FALSE(FileExists());

  EXPECT_EQ(CollectToken("", nullptr), 1);
  EXPECT_EQ(AppendCollectedText(path_.c_str()), 1);
  EXPECT_EQ(FileText(), "");  // created, and empty
}

TEST_F(Tokens, TokensJoinWithoutSeparatorAndEveryWriteAppendsTheWholeText) {
  CollectToken("", nullptr);
  for (const char* t : {"a", "b", "c"}) EXPECT_EQ(CollectToken(t, nullptr), 1);
  EXPECT_EQ(AppendCollectedText(path_.c_str()), 1);
  EXPECT_EQ(FileText(), "abc");
  CollectToken("d", nullptr);  // writing kept the text and the collection
  EXPECT_EQ(AppendCollectedText(path_.c_str()), 1);
  EXPECT_EQ(FileText(), "abcabcd");

  CollectToken("", nullptr);  // starts again
  CollectToken("x", nullptr);
  EXPECT_EQ(AppendCollectedText(path_.c_str()), 1);
  EXPECT_EQ(FileText(), "abcabcdx");
}

TEST_F(Tokens, AnUnopenablePathIsReportedAndKeepsTheText) {
  CollectToken("", nullptr);
  CollectToken("kept", nullptr);
  EXPECT_EQ(AppendCollectedText("/nonexistent-dir/sub/file.txt"), 0);
  EXPECT_EQ(AppendCollectedText(nullptr), 0);
  EXPECT_EQ(AppendCollectedText("/dev/full"), 0);  // opens, but every write fails
  EXPECT_STREQ(TokenBuffer, "kept");
  EXPECT_EQ(CollectToken(nullptr, nullptr), 1);
  EXPECT_STREQ(TokenBuffer, "kept");
}

TEST_F(Tokens, TextStopsAt4095CharactersAndNothingPassesTheBuffer) {
  CollectToken("", nullptr);
  std::string big(4000, 'x');
  CollectToken(big.c_str(), nullptr);
  CollectToken(std::string(200, 'y').c_str(), nullptr);  // cut after 95
  EXPECT_EQ(strlen(TokenBuffer), 4095u);
  EXPECT_EQ(std::string(TokenBuffer), big + std::string(95, 'y'));
  CollectToken("z", nullptr);  // full: dropped
  EXPECT_EQ(strlen(TokenBuffer), 4095u);
  EXPECT_EQ(TokenBuffer[4095], '\0');

  // One token longer than the whole buffer.
  CollectToken("", nullptr);
  CollectToken(std::string(10000, 'q').c_str(), nullptr);
  EXPECT_EQ(std::string(TokenBuffer), std::string(4095, 'q'));
  EXPECT_EQ(AppendCollectedText(path_.c_str()), 1);
  EXPECT_EQ(FileText().size(), 4095u);
}

TEST_F(Tokens, TheCutNeverSplitsADoubleByteCharacter) {
  CollectToken("", nullptr);
  CollectToken(std::string(4093, 'x').c_str(), nullptr);
  // 0x83 0x65 is one character; the second one would need bytes 4095-4096.
  CollectToken("\x83\x65\x83\x65", Cp932Lead);
  EXPECT_EQ(strlen(TokenBuffer), 4095u);
  EXPECT_EQ(std::string(TokenBuffer + 4093), "\x83\x65");

  CollectToken("", nullptr);
  CollectToken(std::string(4094, 'x').c_str(), nullptr);
  CollectToken("\x83\x65", Cp932Lead);  // one byte left: the character is left out
  EXPECT_EQ(strlen(TokenBuffer), 4094u);
  CollectToken("a", Cp932Lead);  // a single-byte one still fits
  EXPECT_EQ(strlen(TokenBuffer), 4095u);

  // Without a lead-byte test the same bytes are cut at the byte limit.
  CollectToken("", nullptr);
  CollectToken(std::string(4094, 'x').c_str(), nullptr);
  CollectToken("\x83\x65", nullptr);
  EXPECT_EQ(strlen(TokenBuffer), 4095u);
}

}  // namespace
