// The runner's platform-neutral pieces: the child's argument vector and
// command line, the search-path setting, the program file it starts and
// the bounded debug messages.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "properties.h"
#include "runner.h"

// An allocation no machine can give returns null, as malloc does on
// Windows, instead of ending the test.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {

// The lead bytes of the Japanese double-byte code page 932.
bool Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

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

ChildArgs Args(const std::vector<const char*>& strings) {
  ChildArgs args;
  InitChildArgs(&args, strings[0]);
  for (size_t i = 1; i < strings.size(); ++i) AddChildArg(&args, strings[i]);
  return args;
}

std::string Joined(const std::vector<const char*>& strings, LeadByteTest isLeadByte = nullptr) {
  ChildArgs args = Args(strings);
  char* line = JoinCommandLine(&args, isLeadByte);
  std::string out = line ? line : "<none>";
  free(line);
  return out;
}

TEST(ChildArgs, CommandLineIsTheStringsJoinedBySingleBlanksQuotingOnlyTheProgram) {
  EXPECT_EQ(Joined({"C:\\Program Files\\jre\\bin\\java.exe", "-cp", "a b", "", "x\"y"}),
            "\"C:\\Program Files\\jre\\bin\\java.exe\" -cp a b  x\\\"y");
  // A tab counts as a blank.
  EXPECT_EQ(Joined({"C:\\jre\tx\\java.exe", "-v"}), "\"C:\\jre\tx\\java.exe\" -v");
  // cmd.exe, which runs a batch file, would split it at the "&".
  EXPECT_EQ(Joined({"R&D\\run.bat", "-v"}), "\"R&D\\run.bat\" -v");
  // Quotes come back to the child as they were: the backslashes right before
  // one are doubled, others stay single. ソ (83 5C) ends in no backslash.
  EXPECT_EQ(Joined({"java", "a\"b", "c", "x\\\"y", "\\\\\"", "\\a\\"}),
            "java a\\\"b c x\\\\\\\"y \\\\\\\\\\\" \\a\\");
  EXPECT_EQ(Joined({"java", "\x83\x5C\"", "\x83\x5C\\\""}, Cp932Lead),
            "java \x83\x5C\\\" \x83\x5C\\\\\\\"");

  // 49 strings of 4095 quotes: far beyond any fixed buffer, joined whole
  // and a program without blanks unquoted.
  std::string big(4095, '"');
  ChildArgs args;
  InitChildArgs(&args, "java");
  while (AddChildArg(&args, big.c_str())) {
  }
  char* line = JoinCommandLine(&args, nullptr);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(strlen(line), 4u + 48 * (2 * 4095 + 1));
  free(line);
}

// What cmd.exe would make a command of never reaches a batch file.
TEST(ChildArgs, BatchFilesGetNoArgumentThatCmdWouldInterpret) {
  auto refused = [](const char* program, const std::vector<const char*>& strings,
                    LeadByteTest isLeadByte = nullptr) -> std::string {
    ChildArgs args = Args(strings);
    const char* found = ArgumentCmdWouldInterpret(program, &args, isLeadByte);
    return found ? found : "<none>";
  };
  const char* injection = "x&echo INJECTED>C:\\pe\\pwn.txt";
  EXPECT_EQ(refused("C:\\kx\\run.bat", {"C:\\kx\\run", "plain", injection}), injection);
  EXPECT_EQ(refused("C:\\kx\\run.bat", {"C:\\kx\\run", "-r", "smon-default"}), "<none>");
  for (const char* special : {"&", "|", "<", ">", "^", "%PATH%", "!x!", "\"", "\r", "\n", "x)", "(x"}) {
    EXPECT_EQ(refused(".\\run.cmd", {"run", "a", special}), special);
  }
  // Whatever the letter case, and with the dots and blanks Windows drops.
  for (const char* batch : {"C:\\kx\\RUN.CMD", "run.Bat", "run.bat. ."}) {
    EXPECT_EQ(refused(batch, {"run", "a|b"}), "a|b") << batch;
  }
  // The program's path is the properties file's own text, and quoted: only
  // what expands inside quotes is refused.
  EXPECT_EQ(refused("C:\\R&D (x86)\\run.bat", {"C:\\R&D (x86)\\run.bat", "a"}), "<none>");
  EXPECT_EQ(refused("C:\\100%\\run.bat", {"C:\\100%\\run.bat", "a"}), "C:\\100%\\run.bat");
  for (const char* program : {"C:\\kx\\java.exe", "run.bat.exe", "runbat", "run.ba"}) {
    EXPECT_EQ(refused(program, {"java", "a&b"}), "<none>") << program;
  }
  // ポ is 83 7C: its second byte is no "|" to cmd.exe, which reads Unicode.
  EXPECT_EQ(refused("run.bat", {"run", "\x83\x7C"}, Cp932Lead), "<none>");
  EXPECT_EQ(refused("run.bat", {"run", "\x83\x7C|"}, Cp932Lead), "\x83\x7C|");
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

// Stands in for GetEnvironmentVariableA("PATH"). `answers` replace its
// first answers, one per call, as a PATH that grew, a failed read or a size
// no memory holds would give.
struct OldPath {
  const char* text;
  std::vector<size_t> answers;
  size_t calls = 0;
  static size_t Read(char* buffer, size_t size, void* context) {
    auto* self = static_cast<OldPath*>(context);
    if (self->calls < self->answers.size()) return self->answers[self->calls++];
    const size_t needed = strlen(self->text) + 1;
    if (size < needed) return needed;
    memcpy(buffer, self->text, needed);
    return needed - 1;
  }
  std::string Prepend(const char* front) {
    char* joined = PrependToSearchPath(front, Read, this);
    std::string out = joined ? joined : "<PATH stays>";
    free(joined);
    return out;
  }
};

TEST(SearchPath, WithoutTheWholeOldPathInMemoryPathStays) {
  EXPECT_EQ((OldPath{"C:\\WINDOWS", {}}).Prepend("C:\\jre"), "C:\\jre;C:\\WINDOWS");
  EXPECT_EQ((OldPath{"", {}}).Prepend("C:\\jre"), "C:\\jre;");
  EXPECT_EQ((OldPath{"", {kSearchPathAbsent}}).Prepend("C:\\jre"), "C:\\jre;");
  // It grew between the two calls: asked again.
  EXPECT_EQ((OldPath{"C:\\WINDOWS", {3}}).Prepend("C:\\jre"), "C:\\jre;C:\\WINDOWS");
  // malloc really fails for a size no memory holds.
  EXPECT_EQ((OldPath{"C:\\WINDOWS", {SIZE_MAX / 2}}).Prepend("C:\\jre"), "<PATH stays>");
  // The read fails for want of memory of its own, the first time or later.
  EXPECT_EQ((OldPath{"C:\\WINDOWS", {0}}).Prepend("C:\\jre"), "<PATH stays>");
  EXPECT_EQ((OldPath{"C:\\WINDOWS", {11, 0}}).Prepend("C:\\jre"), "<PATH stays>");
  // A PATH longer than the ANSI call reads (Wine's stops at 32767) never fits.
  EXPECT_EQ((OldPath{"C:\\WINDOWS", {40001, 40001, 40001, 40001, 40001}}).Prepend("C:\\jre"),
            "<PATH stays>");
}

struct FakeDisk {
  std::set<std::string> files;
  std::vector<std::string> asked;
  LeadByteTest isLeadByte = nullptr;
  static bool Exists(const char* path, void* self) {
    auto* disk = static_cast<FakeDisk*>(self);
    disk->asked.push_back(path);
    return disk->files.count(path) != 0;
  }
  std::string Resolve(const char* name, size_t capacity = kProgramFileCapacity) {
    std::vector<char> out(capacity + 1, '#');
    if (!ResolveProgramFile(name, isLeadByte, Exists, this, out.data(), capacity)) return "<none>";
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

  // In code page 932 表 (95 5C) ends in no backslash: "v1.0表" is the last
  // part, with its ".", and "表java" is a bare name.
  disk.isLeadByte = Cp932Lead;
  disk.files = {"C:\\kx\\v1.0\x95\x5C", ".\\\x95\x5Cjava.exe"};
  EXPECT_EQ(disk.Resolve("C:\\kx\\v1.0\x95\x5C"), "C:\\kx\\v1.0\x95\x5C");
  EXPECT_EQ(disk.Resolve("\x95\x5Cjava"), ".\\\x95\x5Cjava.exe");
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
