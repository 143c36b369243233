// The runner's platform-neutral pieces: the child's argument vector and
// command line, the search-path setting, the program file it starts and
// the bounded debug messages.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "properties.h"
#include "runner.h"

namespace {

std::vector<std::string> Words(std::string text) {
  std::vector<std::string> words;
  char* cursor = &text[0];
  while (char* word = NextWord(&cursor)) words.push_back(word);
  return words;
}

TEST(JavaArgs, RunsOfBlanksSeparateAndNothingElseDoes) {
  using W = std::vector<std::string>;
  EXPECT_EQ(Words("-Xmx64m -cp a.jar Main"), (W{"-Xmx64m", "-cp", "a.jar", "Main"}));
  EXPECT_EQ(Words("   -Xmx64m    -cp  a.jar   Main   "), (W{"-Xmx64m", "-cp", "a.jar", "Main"}));
  EXPECT_EQ(Words("\"quoted words\"\tx"), (W{"\"quoted", "words\"\tx"}));
  EXPECT_EQ(Words(""), W{});
  EXPECT_EQ(Words("     "), W{});
}

TEST(ChildArgs, FortyNineStringsFitAndTheVectorEndsInNull) {
  ChildArgs args;
  InitChildArgs(&args, "java.exe");
  EXPECT_EQ(args.slots[1], nullptr);
  std::vector<std::string> texts;
  for (int i = 1; i < 60; ++i) texts.push_back("a" + std::to_string(i));
  int added = 0;
  for (const std::string& t : texts) added += AddChildArg(&args, t.c_str()) ? 1 : 0;
  EXPECT_EQ(added, 48);
  EXPECT_EQ(args.count, 49);
  EXPECT_STREQ(args.slots[48], "a48");
  EXPECT_EQ(args.slots[49], nullptr);
}

TEST(ChildArgs, CommandLineIsTheStringsJoinedBySingleBlanksQuotingOnlyTheProgram) {
  ChildArgs args;
  InitChildArgs(&args, "C:\\Program Files\\jre\\bin\\java.exe");
  AddChildArg(&args, "-cp");
  AddChildArg(&args, "a b");
  AddChildArg(&args, "");
  AddChildArg(&args, "x\"y");
  char* line = JoinCommandLine(&args);
  ASSERT_NE(line, nullptr);
  EXPECT_STREQ(line, "\"C:\\Program Files\\jre\\bin\\java.exe\" -cp a b  x\"y");
  free(line);
  args.slots[0] = "C:\\jre\tx\\java.exe";  // a tab counts as a blank
  line = JoinCommandLine(&args);
  EXPECT_STREQ(line, "\"C:\\jre\tx\\java.exe\" -cp a b  x\"y");
  free(line);

  // 49 strings of 4095 characters: far beyond any fixed buffer, joined whole
  // and a program without blanks unquoted.
  std::string big(4095, 'z');
  InitChildArgs(&args, big.c_str());
  while (AddChildArg(&args, big.c_str())) {
  }
  line = JoinCommandLine(&args);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(strlen(line), 49u * 4095 + 48);
  free(line);
}

TEST(SearchPath, FrontSemicolonAndOldAreJoinedWhole) {
  std::string front(5000, 'f'), old(40000, 'o');
  char* joined = JoinSearchPath(front.c_str(), old.c_str());
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(std::string(joined), front + ";" + old);
  free(joined);
  joined = JoinSearchPath("C:\\jre\\bin", nullptr);
  EXPECT_STREQ(joined, "C:\\jre\\bin;");
  free(joined);
}

struct FakeDisk {
  std::set<std::string> files;
  std::vector<std::string> asked;
  static bool Exists(const char* path, void* self) {
    auto* disk = static_cast<FakeDisk*>(self);
    disk->asked.push_back(path);
    return disk->files.count(path) != 0;
  }
  std::string Resolve(const char* name, size_t capacity = kProgramFileCapacity) {
    std::vector<char> out(capacity + 1, '#');
    if (!ResolveProgramFile(name, Exists, this, out.data(), capacity)) return "<none>";
    EXPECT_EQ(out[capacity], '#');
    return out.data();
  }
};

TEST(ProgramFile, BareNamesAreTakenInTheCurrentDirectoryOnly) {
  FakeDisk disk;
  disk.files = {".\\java.exe", ".\\java.bat"};
  EXPECT_EQ(disk.Resolve("java.exe"), ".\\java.exe");
  disk.asked.clear();
  EXPECT_EQ(disk.Resolve("java"), ".\\java.exe");
  EXPECT_EQ(disk.asked, (std::vector<std::string>{".\\java.com", ".\\java.exe"}));
  disk.asked.clear();
  EXPECT_EQ(disk.Resolve("javaw"), "<none>");
  EXPECT_EQ(disk.asked, (std::vector<std::string>{".\\javaw.com", ".\\javaw.exe", ".\\javaw.bat",
                                                  ".\\javaw.cmd"}));
  disk.files = {".\\run.cmd"};
  EXPECT_EQ(disk.Resolve("run"), ".\\run.cmd");
}

TEST(ProgramFile, NamesWithAFolderOrDriveAreUsedAsWritten) {
  FakeDisk disk;
  disk.files = {"C:\\jre.1.2\\bin\\java.exe", "jre/bin/java.com", "C:java.exe"};
  EXPECT_EQ(disk.Resolve("C:\\jre.1.2\\bin\\java.exe"), "C:\\jre.1.2\\bin\\java.exe");
  // A dot in a folder name doesn't count as an extension.
  EXPECT_EQ(disk.Resolve("C:\\jre.1.2\\bin\\java"), "C:\\jre.1.2\\bin\\java.exe");
  EXPECT_EQ(disk.Resolve("jre/bin/java"), "jre/bin/java.com");
  EXPECT_EQ(disk.Resolve("C:java"), "C:java.exe");
  // A name with an extension must exist as written; nothing is appended.
  disk.asked.clear();
  EXPECT_EQ(disk.Resolve("C:\\jre\\bin\\java.ex"), "<none>");
  EXPECT_EQ(disk.asked, (std::vector<std::string>{"C:\\jre\\bin\\java.ex"}));
}

TEST(ProgramFile, NamesThatDontFitAreRefusedWithoutOverrun) {
  FakeDisk disk;
  const std::string longest(4095, 'j'), withExtension = std::string(4091, 'j') + ".exe";
  disk.files = {".\\java.exe", ".\\" + withExtension, ".\\" + longest + ".cmd"};
  EXPECT_EQ(disk.Resolve("java", 11), ".\\java.exe");
  EXPECT_EQ(disk.Resolve("java", 10), "<none>");
  // The longest values the reader gives fit the runner's buffer.
  EXPECT_EQ(disk.Resolve(withExtension.c_str()).size(), 4097u);
  EXPECT_EQ(disk.Resolve(longest.c_str()).size(), 4101u);
}

TEST(DebugMessage, FormatsAndCutsOnlyTheInsertedText) {
  char out[kMessageCapacity + 1];
  FormatDebugMessage(out, kMessageCapacity, "javaExe: %s\n", "C:\\jre\\bin\\java.exe");
  EXPECT_STREQ(out, "javaExe: C:\\jre\\bin\\java.exe\n");
  FormatDebugMessage(out, kMessageCapacity, "%s Stopped\n", nullptr);
  EXPECT_STREQ(out, " Stopped\n");

  // The longest text that fits whole, and one character more.
  const std::string fits(kMessageCapacity - 1 - strlen("Running \n"), 'x');
  out[kMessageCapacity] = '#';
  FormatDebugMessage(out, kMessageCapacity, "Running %s\n", fits.c_str());
  EXPECT_EQ(std::string(out), "Running " + fits + "\n");
  FormatDebugMessage(out, kMessageCapacity, "Running %s\n", (fits + "y").c_str());
  EXPECT_EQ(std::string(out), "Running " + fits + "\n");
  FormatDebugMessage(out, kMessageCapacity, "%s Stopped\n", std::string(5000, 'z').c_str());
  EXPECT_EQ(strlen(out), kMessageCapacity - 1);
  EXPECT_EQ(std::string(out).substr(kMessageCapacity - 10), " Stopped\n");
  EXPECT_EQ(out[kMessageCapacity], '#');

  char tiny[4];
  FormatDebugMessage(tiny, sizeof tiny, "Running %s\n", "x");
  EXPECT_STREQ(tiny, "Run");
}

}  // namespace
