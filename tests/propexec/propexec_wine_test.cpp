// Runs the real propexec.exe and propexecw.exe as a debugger would, reads
// their debug output and what the recording Java stand-in received.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "kxtest.h"

using namespace kxtest;

namespace {

using Messages = std::vector<std::string>;
using Record = std::map<std::string, std::string>;

std::string OwnEnv(const char* name) {
  char buffer[32768];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n < sizeof buffer ? std::string(buffer, n) : "";
}

// Sets a variable of this test process for the runs below it; the runner and
// its child inherit it. Puts the old value back at the end of the scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    char buffer[32768];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    had_ = n > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    old_.assign(buffer, n < sizeof buffer ? n : 0);
    SetEnvironmentVariableA(name, value);
  }
  ~ScopedEnv() { SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_, old_;
  bool had_ = false;
};

// Doubles each backslash, as a properties file must spell a Windows path;
// the second byte of a character (ソ is 83 5C in code page 932) is none.
std::string Escaped(const std::string& path) {
  std::string out;
  for (const char* p = path.c_str(); *p;) {
    const char* next = CharNextA(p);
    if (*p == '\\') out += '\\';
    out.append(p, next);
    p = next;
  }
  return out;
}

// A fresh folder with the recording stand-in as bin\java.exe and a record
// file name that the runs inherit.
class RunnerTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    dir_ = TempDir();
    ASSERT_TRUE(MakeDirs(dir_ + "\\bin"));
    javaExe_ = dir_ + "\\bin\\java.exe";
    ASSERT_TRUE(CopyTo(BinPath("recording_java_standin.exe"), javaExe_));
    recordFile_ = dir_ + "\\record.txt";
    SetEnvironmentVariableA("KX_RECORD_FILE", recordFile_.c_str());
    properties_ = dir_ + "\\smon.properties";
  }
  void TearDown() override { SetEnvironmentVariableA("KX_RECORD_FILE", nullptr); }

  void WriteProperties(const std::string& text) { ASSERT_TRUE(WriteFile(properties_, text)); }

  // Runs the runner under test with the given arguments after its name.
  DebugRun RunRunner(const std::string& args, const std::string& cwd = "") {
    DebugRun run = RunUnderDebugger("\"" + BinPath(GetParam()) + "\"" + args,
                                    cwd.empty() ? dir_ : cwd);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    return run;
  }

  bool ChildRan() const { return FileExists(recordFile_); }

  Record ReadRecord() const {
    Record record;
    std::string text = ReadFile(recordFile_);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      size_t eq = line.find('=');
      if (eq != std::string::npos) record[line.substr(0, eq)] = line.substr(eq + 1);
      start = end + 1;
    }
    return record;
  }

  Messages Normal(const std::string& exe) const {
    return {"javaExe: " + exe + "\n", "Running " + exe + "\n", exe + " Stopped\n"};
  }

  std::string dir_, javaExe_, recordFile_, properties_;
};

TEST_P(RunnerTest, StartsTheChildWithArgumentsClassPathAndSearchPathAndWaits) {
  WriteProperties("# service manager\r\n"
                  "java.exe=" + Escaped(javaExe_) + "\r\n"
                  "java.classpath=C:\\\\kx\\\\lib\\\\a.jar;C:/kx/lib/b.jar\r\n"
                  "java.path=C:\\\\kx\\\\jre\\\\bin\r\n"
                  "java.args=   -Xmx64m    -Dkx.home=C:/kx  com.veltrana.Smon   \r\n");
  const std::string oldPath = OwnEnv("PATH");
  ScopedEnv slow("KX_RECORD_WAIT_MS", "300");  // the record appears only if the runner waits
  DebugRun run = RunRunner(" \"" + properties_ + "\" -r  \"smon default\" last");
  EXPECT_EQ(run.messages, Normal(javaExe_));
  ASSERT_TRUE(ChildRan());
  Record child = ReadRecord();
  EXPECT_EQ(child["commandLine"],
            javaExe_ + " -Xmx64m -Dkx.home=C:/kx com.veltrana.Smon -r smon default last");
  EXPECT_EQ(child["CLASSPATH"], "C:\\kx\\lib\\a.jar;C:/kx/lib/b.jar");
  EXPECT_EQ(child["PATH"], "C:\\kx\\jre\\bin;" + oldPath);
  EXPECT_EQ(child["currentDirectory"], dir_);
  EXPECT_EQ(OwnEnv("PATH"), oldPath);  // the runner changed only its own environment
}

TEST_P(RunnerTest, AProgramUnderAFolderWithABlankIsQuotedAndItsArgumentsAreNot) {
  const std::string exe = dir_ + "\\a dir\\java.exe";
  ASSERT_TRUE(MakeDirs(dir_ + "\\a dir"));
  ASSERT_TRUE(CopyTo(javaExe_, exe));
  WriteProperties("java.exe=" + Escaped(exe) + "\njava.args=-Xmx8m  Main\n");
  DebugRun run = RunRunner(" \"" + properties_ + "\" \"x y\"");
  EXPECT_EQ(run.messages, Normal(exe));
  EXPECT_EQ(ReadRecord()["commandLine"], "\"" + exe + "\" -Xmx8m Main x y");

  // A stored java.args groups words with quotes as written; only the
  // command line's own arguments are escaped.
  WriteProperties("java.exe=" + Escaped(exe) +
                  "\njava.args=-Dsmon.home=\"C:\\\\Program Files\\\\Kestrix\" Main\n");
  RunRunner(" \"" + properties_ + "\" a\\\"b");
  Record child = ReadRecord();
  EXPECT_EQ(child["arg1"], "-Dsmon.home=C:\\Program Files\\Kestrix");
  EXPECT_EQ(child["arg2"], "Main");
  EXPECT_EQ(child["arg3"], "a\"b");
}

TEST_P(RunnerTest, ArgumentsAreSplitByTheStandardRulesInBothBuildsAndReachTheChildAsTheyWere) {
  WriteProperties("java.exe=" + Escaped(javaExe_) + "\n");
  // C runtime rules: quotes group, \" is a quote, backslashes not before a
  // quote are literal, 2n backslashes before a quote give n.
  RunRunner(" \"" + properties_ +
            "\" plain \"two words\" back\\\\slash q\\\"uote \"tail\\\\\" a\"b c\"d a\\\"b c x\\\\\\\"y");
  Record child = ReadRecord();
  EXPECT_EQ(child["commandLine"], javaExe_ + " plain two words back\\\\slash q\\\"uote tail\\ ab cd "
                                             "a\\\"b c x\\\\\\\"y");
  // An argument with a blank arrives split; a quote arrives as a quote.
  const std::vector<std::string> received = {"plain", "two", "words", "back\\\\slash", "q\"uote",
                                             "tail\\", "ab",  "cd",    "a\"b",         "c",
                                             "x\\\"y"};
  for (size_t i = 0; i < received.size(); ++i) {
    EXPECT_EQ(child["arg" + std::to_string(i + 1)], received[i]) << "argument " << i + 1;
  }
  EXPECT_EQ(child.count("arg" + std::to_string(received.size() + 1)), 0u);
}

TEST_P(RunnerTest, ABatchFileGetsPlainArgumentsButNoneThatCmdWouldRun) {
  // java.exe names bin\run, found as run.bat, which hands its arguments on.
  ASSERT_TRUE(WriteFile(dir_ + "\\bin\\run.bat", "@\"" + javaExe_ + "\" %*\r\n"));
  const std::string name = dir_ + "\\bin\\run";
  WriteProperties("java.exe=" + Escaped(name) + "\n");
  DebugRun run = RunRunner(" \"" + properties_ + "\" -r smon-default");
  EXPECT_EQ(run.messages, Normal(name));
  Record child = ReadRecord();
  EXPECT_EQ(child["arg1"], "-r");
  EXPECT_EQ(child["arg2"], "smon-default");

  DeleteFileA(recordFile_.c_str());
  const std::string pwn = dir_ + "\\pwn.txt";
  run = RunRunner(" \"" + properties_ + "\" ok x&echo INJECTED>" + pwn);
  EXPECT_EQ(run.messages,
            (Messages{"javaExe: " + name + "\n", "Running " + name + "\n",
                      "Batch file not run: cmd.exe would take this argument as a command: x&echo\n",
                      name + " Stopped\n"}));
  EXPECT_FALSE(FileExists(pwn));
  EXPECT_FALSE(ChildRan());
  // The stored java.args are the administrator's own text: not refused.
  WriteProperties("java.exe=" + Escaped(name) + "\njava.args=\"-Dh=C:\\\\(x86) & kx\"\n");
  RunRunner(" \"" + properties_ + "\" -r");
  child = ReadRecord();
  EXPECT_EQ(child["arg1"], "-Dh=C:\\(x86) & kx");
  EXPECT_EQ(child["arg2"], "-r");
}

// Run again as Japanese Windows (code page 932): ソ is 83 5C, 表 95 5C.
TEST_P(RunnerTest, JapaneseFolderNamesAndArgumentsComeThroughWhole) {
  if (GetACP() != 932) GTEST_SKIP() << "ANSI code page " << GetACP() << ", not 932";
  const std::string folder = dir_ + "\\\x83\x5C\x83\x74\x83\x67";  // ソフト
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((folder + "\\\x95\x5C").c_str(), nullptr));
  const std::string exe = folder + "\\\x95\x5C\\java.exe";
  ASSERT_TRUE(CopyTo(javaExe_, exe));
  // As a Japanese editor saves it: doubled backslashes, whole characters.
  WriteProperties("java.exe=" + Escaped(exe) + "\r\n");
  // ソ" and ポ (83 7C) after the file.
  DebugRun run = RunRunner(" \"" + properties_ + "\" \x83\x5C\\\" \x83\x7C");
  EXPECT_EQ(run.messages, Normal(exe));
  ASSERT_TRUE(ChildRan());
  Record child = ReadRecord();
  EXPECT_EQ(child["commandLine"], exe + " \x83\x5C\\\" \x83\x7C");
  EXPECT_EQ(child["arg1"], "\x83\x5C\"");
  EXPECT_EQ(child["arg2"], "\x83\x7C");
}

TEST_P(RunnerTest, OnlyThePropertiesFileGivesTheJavaArgsAloneAndNoSettingsLeaveTheEnvironment) {
  WriteProperties("java.exe=" + Escaped(javaExe_) + "\n");
  ScopedEnv classPath("CLASSPATH", nullptr);
  const std::string oldPath = OwnEnv("PATH");
  DebugRun run = RunRunner(" \"" + properties_ + "\"");
  EXPECT_EQ(run.messages, Normal(javaExe_));
  Record child = ReadRecord();
  EXPECT_EQ(child["commandLine"], javaExe_);
  EXPECT_EQ(child.count("CLASSPATH"), 0u);
  EXPECT_EQ(child["PATH"], oldPath);
}

TEST_P(RunnerTest, LongSettingsReachTheChildWhole) {
  const std::string classPath = "C:/kx/lib/" + std::string(3000, 'c') + ".jar";
  const std::string front = "C:\\kx\\" + std::string(2000, 'p');
  WriteProperties("java.exe=" + Escaped(javaExe_) + "\njava.classpath=" + classPath +
                  "\njava.path=" + Escaped(front) + "\n");
  const std::string oldPath = OwnEnv("PATH");
  RunRunner(" \"" + properties_ + "\"");
  Record child = ReadRecord();
  EXPECT_EQ(child["CLASSPATH"], classPath);
  EXPECT_EQ(child["PATH"], front + ";" + oldPath);
}

TEST_P(RunnerTest, WithoutAnOldPathTheSearchPathEndsInASemicolon) {
  WriteProperties("java.exe=" + Escaped(javaExe_) + "\njava.path=C:\\\\kx\\\\jre\\\\bin\n");
  ScopedEnv noPath("PATH", nullptr);
  RunRunner(" \"" + properties_ + "\"");
  EXPECT_EQ(ReadRecord()["PATH"], "C:\\kx\\jre\\bin;");
}

TEST_P(RunnerTest, BareNameIsFoundInTheCurrentFolderOnly) {
  const std::string binDir = dir_ + "\\bin";
  // Without extension: .com, .exe, .bat, .cmd are tried in the current folder.
  WriteProperties("java.exe=java\n");
  DebugRun run = RunRunner(" \"" + properties_ + "\" x", binDir);
  EXPECT_EQ(run.messages, Normal("java"));
  Record child = ReadRecord();
  EXPECT_EQ(child["commandLine"], "java x");
  EXPECT_EQ(child["currentDirectory"], binDir);

  // On PATH but not in the current folder: nothing starts.
  DeleteFileA(recordFile_.c_str());
  std::string onPath = OwnEnv("PATH") + ";" + binDir;
  ScopedEnv path("PATH", onPath.c_str());
  for (const char* name : {"java", "java.exe"}) {
    WriteProperties(std::string("java.exe=") + name + "\n");
    run = RunRunner(" \"" + properties_ + "\"", dir_);
    EXPECT_EQ(run.messages, Normal(name));
    EXPECT_FALSE(ChildRan()) << name;
  }
}

TEST_P(RunnerTest, ChildFailureStillGivesStatusZero) {
  WriteProperties("java.exe=" + Escaped(javaExe_) + "\n");
  ScopedEnv exitStatus("KX_RECORD_EXIT", "7");
  DebugRun run = RunRunner(" \"" + properties_ + "\"");  // checks status 0
  EXPECT_TRUE(ChildRan());
  EXPECT_EQ(run.messages, Normal(javaExe_));
  // A file named with an extension that doesn't exist: no child, same messages.
  DeleteFileA(recordFile_.c_str());
  WriteProperties("java.exe=" + Escaped(dir_) + "\\\\bin\\\\java.ex\n");
  run = RunRunner(" \"" + properties_ + "\"");
  EXPECT_EQ(run.messages, Normal(dir_ + "\\bin\\java.ex"));
  EXPECT_FALSE(ChildRan());
}

TEST_P(RunnerTest, MissingJavaExeEntryStartsNothing) {
  WriteProperties("java.classpath=x.jar\njava.path=C:\\\\x\njava.args=-v\nJava.exe=" +
                  Escaped(javaExe_) + "\n");
  DebugRun run = RunRunner(" \"" + properties_ + "\" arg");
  EXPECT_EQ(run.messages,
            Messages{"Did not find required 'java.exe' entry in: " + properties_ + "\n"});
  EXPECT_FALSE(ChildRan());
}

TEST_P(RunnerTest, MissingPropertiesFileOrArgumentIsReported) {
  const std::string missing = dir_ + "\\none\\smon.properties";
  DebugRun run = RunRunner(" \"" + missing + "\" arg");
  EXPECT_EQ(run.messages,
            Messages{"Did not find required 'smon.properties' file in: " + missing + "\n"});
  run = RunRunner("");
  EXPECT_EQ(run.messages,
            Messages{"Did not find required 'smon.properties' file in: (no path given)\n"});
  EXPECT_FALSE(ChildRan());
}

TEST_P(RunnerTest, StringsBeyondFortyNineAreDroppedAndNamed) {
  std::string words, args, expected = javaExe_;
  for (int i = 1; i <= 30; ++i) words += " w" + std::to_string(i);
  for (int i = 1; i <= 25; ++i) args += " a" + std::to_string(i);
  for (int i = 1; i <= 30; ++i) expected += " w" + std::to_string(i);
  for (int i = 1; i <= 18; ++i) expected += " a" + std::to_string(i);
  WriteProperties("java.exe=" + Escaped(javaExe_) + "\njava.args=" + words + "\n");
  DebugRun run = RunRunner(" \"" + properties_ + "\"" + args);
  Messages want = {"javaExe: " + javaExe_ + "\n"};
  for (int i = 19; i <= 25; ++i)
    want.push_back("More than 49 strings for the child, dropped: a" + std::to_string(i) + "\n");
  want.push_back("Running " + javaExe_ + "\n");
  want.push_back(javaExe_ + " Stopped\n");
  EXPECT_EQ(run.messages, want);
  EXPECT_EQ(ReadRecord()["commandLine"], expected);
}

TEST_P(RunnerTest, OverlongMessagesAreCutButKeepTheirEnd) {
  const std::string name = "C:\\" + std::string(1500, 'n') + "\\java.exe";
  WriteProperties("java.exe=" + Escaped(name) + "\n");
  DebugRun run = RunRunner(" \"" + properties_ + "\"");
  ASSERT_EQ(run.messages.size(), 3u);
  EXPECT_EQ(run.messages[0], "javaExe: " + name.substr(0, 1027 - 10) + "\n");
  EXPECT_EQ(run.messages[1], "Running " + name.substr(0, 1027 - 9) + "\n");
  EXPECT_EQ(run.messages[2], name.substr(0, 1027 - 9) + " Stopped\n");
  EXPECT_FALSE(ChildRan());
}

INSTANTIATE_TEST_SUITE_P(Builds, RunnerTest, ::testing::Values("propexec.exe", "propexecw.exe"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param[8] == 'w' ? "Gui" : "Console");
                         });

}  // namespace
