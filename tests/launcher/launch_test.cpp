// Runs the real kxlaunch.exe against the stand-in jvm.dll (standin_jvm.cpp)
// and checks what it reports, its exit status and what the stand-in virtual
// machine received, in order.
#include <gtest/gtest.h>

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "kxtest.h"

using namespace kxtest;

namespace {

const char kInstallationKey[] = "Software\\Veltrana\\Kestrix\\2.0\\Installation";
const char kRuntimeSuffix[] = "\\jre\\bin\\classic\\jvm.dll";
const char kMainClassSlashed[] = "com/veltrana/kestrix/app/ZephylKestrixApp";
// The stand-in's FatalError ends the process with this status.
constexpr DWORD kStandInFatalStatus = 3;

struct Outcome {
  RunResult run;
  std::string out, err;
  std::vector<std::string> record;  // the stand-in's lines, in order
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Position of line in lines, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

// The UTF-16 units of a text as the stand-in writes them (" 0061 0062").
std::string Units(const std::wstring& text) {
  std::string out;
  char unit[8];
  for (wchar_t c : text) {
    snprintf(unit, sizeof unit, " %04x", static_cast<unsigned>(c));
    out += unit;
  }
  return out;
}

std::string Units(const std::string& ascii) { return Units(std::wstring(ascii.begin(), ascii.end())); }

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
    had_ = needed != 0;
    if (had_) {
      std::vector<char> buffer(needed);
      GetEnvironmentVariableA(name, buffer.data(), needed);
      old_ = buffer.data();
    }
    SetEnvironmentVariableA(name, value);
  }
  ~ScopedEnv() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

std::string CurrentPath() {
  DWORD needed = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (!needed) return "";
  std::vector<char> buffer(needed);
  GetEnvironmentVariableA("PATH", buffer.data(), needed);
  return buffer.data();
}

class Launch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir();
    log_ = dir_ + "\\record.txt";
    SetEnvironmentVariableA("KX_STANDIN_JVM_LOG", log_.c_str());
    SetEnvironmentVariableA("KX_STANDIN_JVM_FAIL", nullptr);
    SetEnvironmentVariableA("KX_STANDIN_JVM_MALLOC", nullptr);
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, "Software\\Veltrana");
  }

  // An installation folder whose runtime is the given stand-in DLL ("" for
  // none), recorded as InstallPath.
  void Install(const std::string& root, const std::string& dll = "jvm.dll") {
    std::string classic = root + (root.back() == '\\' ? "" : "\\") + "jre\\bin\\classic";
    ASSERT_TRUE(MakeDirs(classic)) << classic;
    std::string target = classic + "\\jvm.dll";
    if (dll.empty())
      DeleteFileA(target.c_str());
    else
      ASSERT_TRUE(CopyTo(BinPath(dll), target)) << target;
    RegWriteSz(HKEY_LOCAL_MACHINE, kInstallationKey, "InstallPath", root);
  }

  Outcome Run(const std::string& args = "") {
    DeleteFileA(log_.c_str());
    Outcome o;
    std::string command = "\"" + BinPath("kxlaunch.exe") + "\"";
    if (!args.empty()) command += " " + args;
    o.run = kxtest::Run(command, dir_, 30000, dir_ + "\\out.txt", dir_ + "\\err.txt");
    EXPECT_TRUE(o.run.started);
    EXPECT_TRUE(o.run.finished);
    o.out = ReadFile(dir_ + "\\out.txt");
    o.err = ReadFile(dir_ + "\\err.txt");
    o.record = Lines(ReadFile(log_));
    return o;
  }

  // A failure the launcher reports itself: one line, status 1.
  static void ExpectFailure(const Outcome& o, const std::string& message) {
    EXPECT_EQ(o.run.exitCode, 1u);
    EXPECT_EQ(o.err, message + "\r\n");  // stderr is a text-mode stream
    EXPECT_EQ(o.out, "");
  }

  std::string dir_;
  std::string log_;
};

TEST_F(Launch, NormalRoadHandsOverOptionsPathClassAndArgumentsInOrder) {
  const std::string I = dir_ + "\\Kestrix 2.0";
  Install(I);
  const std::string oldPath = CurrentPath();
  ASSERT_FALSE(oldPath.empty());

  Outcome o = Run("first \"\" \"with blank\" last");
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_EQ(o.err, "");
  EXPECT_EQ(o.out, "");
  const std::vector<std::string> expected = {
      "loaded " + I + kRuntimeSuffix,
      "PATH at load " + oldPath,  // the library loads before PATH changes
      "JNI_CreateJavaVM version=0x00010002 nOptions=5 ignoreUnrecognized=1",
      "option 0 -Djava.compiler=NONE extraInfo=null",
      "option 1 -Djava.class.path=" + I + "\\classes\\zephkes.jar;" + I + "\\classes extraInfo=null",
      "option 2 -Djava.library.path=" + I + "\\bin extraInfo=null",
      "option 3 -Djava.Home=" + I + "\\jre extraInfo=null",
      "option 4 -Dcom.veltrana.kestrix.installpath=" + I + " extraInfo=null",
      "PATH " + I + "\\bin;" + I + "\\jre\\bin;" + oldPath + ";",
      std::string("FindClass ") + kMainClassSlashed,
      "GetStaticMethodID main ([Ljava/lang/String;)V on class",
      "FindClass java/lang/String",
      "NewObjectArray 4 java.lang.String init=null",
      "NewString 5" + Units("first"), "SetObjectArrayElement 0 string", "DeleteLocalRef string",
      "NewString 0", "SetObjectArrayElement 1 string", "DeleteLocalRef string",
      "NewString 10" + Units("with blank"), "SetObjectArrayElement 2 string",
      "DeleteLocalRef string",
      "NewString 4" + Units("last"), "SetObjectArrayElement 3 string", "DeleteLocalRef string",
      "CallStaticVoidMethod main",
      "main received 4",
      "arg 0 [first]" + Units("first"),
      "arg 1 []",  // the empty argument keeps its place
      "arg 2 [with blank]" + Units("with blank"),
      "arg 3 [last]" + Units("last"),
      "ExceptionOccurred no",
      "DestroyJavaVM",
      "unloaded",  // FreeLibrary after DestroyJavaVM
  };
  EXPECT_EQ(o.record, expected);
}

TEST_F(Launch, NoArgumentsGiveAnEmptyArrayNotNull) {
  Install(dir_ + "\\kx");
  Outcome o = Run();
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_TRUE(Has(o.record, "NewObjectArray 0 java.lang.String init=null"));
  EXPECT_TRUE(Has(o.record, "main received 0"));
  EXPECT_TRUE(Has(o.record, "DestroyJavaVM"));
}

TEST_F(Launch, AnsiArgumentArrivesConvertedFromTheAnsiCodePage) {
  // The command line goes through CreateProcessA, so the child's ANSI
  // arguments hold these very bytes.
  std::string bytes;
  std::wstring expected;
  std::string shown;
  switch (GetACP()) {
    case 1252:  // Western European: 0xE9 is U+00E9
      bytes = "\xE9t\xE9";
      expected = L"\u00e9t\u00e9";
      shown = "\xC3\xA9t\xC3\xA9";
      break;
    case 932:  // Japanese: 0x82 0xA0 is U+3042
      bytes = "\x82\xA0";
      expected = L"\u3042";
      shown = "\xE3\x81\x82";
      break;
    default:
      GTEST_SKIP() << "ANSI code page " << GetACP();
  }
  printf("ANSI code page %u\n", GetACP());
  Install(dir_ + "\\kx");
  Outcome o = Run("a " + bytes + " z");
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_TRUE(Has(o.record, "main received 3"));
  EXPECT_TRUE(Has(o.record, "arg 1 [" + shown + "]" + Units(expected)))
      << "ANSI code page " << GetACP();
  EXPECT_TRUE(Has(o.record, "arg 2 [z]" + Units("z")));
}

TEST_F(Launch, MainThrowingIsDescribedClearedAndStillEndsWithStatusZero) {
  Install(dir_ + "\\kx");
  SetEnvironmentVariableA("KX_STANDIN_JVM_FAIL", "throw");
  Outcome o = Run("x");
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_EQ(o.err,
            "Exception in thread \"main\" java.lang.IllegalStateException: thrown by the "
            "stand-in main\r\n");
  int call = IndexOf(o.record, "CallStaticVoidMethod main");
  ASSERT_GE(call, 0);
  std::vector<std::string> tail(o.record.begin() + call, o.record.end());
  const std::vector<std::string> expected = {
      "CallStaticVoidMethod main", "main received 1", "arg 0 [x]" + Units("x"),
      "ExceptionOccurred yes",     "ExceptionDescribe", "ExceptionClear",
      "DestroyJavaVM",             "unloaded",
  };
  EXPECT_EQ(tail, expected);
}

TEST_F(Launch, InstallPathThatIsNotARegSzValueIsNotFoundAndNothingLoads) {
  Outcome missing = Run();
  ExpectFailure(missing, "Unable to locate Zephyl Kestrix installation path");

  // A working installation, but recorded as REG_EXPAND_SZ.
  const std::string I = dir_ + "\\kx";
  Install(I);
  RegWrite(HKEY_LOCAL_MACHINE, kInstallationKey, "InstallPath", REG_EXPAND_SZ, I.c_str(),
           static_cast<DWORD>(I.size() + 1));
  Outcome expand = Run("a");
  ExpectFailure(expand, "Unable to locate Zephyl Kestrix installation path");
  EXPECT_TRUE(expand.record.empty()) << expand.record[0];
}

TEST_F(Launch, InstallPathNamingAFileOrNothingIsIncorrect) {
  const std::string file = dir_ + "\\not-a-folder";
  ASSERT_TRUE(WriteFile(file, "x"));
  RegWriteSz(HKEY_LOCAL_MACHINE, kInstallationKey, "InstallPath", file);
  ExpectFailure(Run(), "Incorrect Zephyl Kestrix installation path");

  RegWriteSz(HKEY_LOCAL_MACHINE, kInstallationKey, "InstallPath", dir_ + "\\gone");
  ExpectFailure(Run(), "Incorrect Zephyl Kestrix installation path");
}

TEST_F(Launch, MissingRuntimeLibraryIsNamedByItsFullPath) {
  const std::string I = dir_ + "\\no runtime";
  Install(I, "");
  ExpectFailure(Run(), "Could not load runtime library: " + I + kRuntimeSuffix);
}

TEST_F(Launch, RuntimeLibraryImportsComeFromItsOwnFolderNotTheCurrentOne) {
  const std::string I = dir_ + "\\kx";
  Install(I, "standin_jvm_part.dll");
  const std::string part = BinPath("runtime-part\\jvmpart.dll");
  const std::string beside = I + "\\jre\\bin\\classic\\jvmpart.dll";
  const std::string current = dir_ + "\\jvmpart.dll";  // kxlaunch's current folder
  ASSERT_TRUE(CopyTo(part, beside));
  for (bool secondCopy : {false, true}) {
    SCOPED_TRACE(secondCopy ? "a second copy in the current folder" : "beside the runtime only");
    if (secondCopy) ASSERT_TRUE(CopyTo(part, current));
    Outcome o = Run("a");
    EXPECT_EQ(o.run.exitCode, 0u) << o.err;
    EXPECT_TRUE(Has(o.record, "runtime part " + beside));
    EXPECT_FALSE(Has(o.record, "runtime part " + current));
    EXPECT_TRUE(Has(o.record, "main received 1"));
  }
}

TEST_F(Launch, LibraryWithoutTheEntryOrFailingCreationGivesNoVm) {
  const std::string I = dir_ + "\\kx";
  Install(I, "standin_noentry.dll");
  Outcome noEntry = Run();
  ExpectFailure(noEntry, "Could not create Java VM");
  EXPECT_TRUE(Has(noEntry.record, "loaded without JNI_CreateJavaVM " + I + kRuntimeSuffix));

  Install(I);
  SetEnvironmentVariableA("KX_STANDIN_JVM_FAIL", "create");
  Outcome failing = Run();
  ExpectFailure(failing, "Could not create Java VM");
  EXPECT_TRUE(Has(failing.record,
                  "JNI_CreateJavaVM version=0x00010002 nOptions=5 ignoreUnrecognized=1"));
  EXPECT_FALSE(Has(failing.record, std::string("FindClass ") + kMainClassSlashed));
}

TEST_F(Launch, MissingClassOrMainIsNamedWithDotsAndTheVmIsLeftAlone) {
  Install(dir_ + "\\kx");
  SetEnvironmentVariableA("KX_STANDIN_JVM_FAIL", "class");
  Outcome noClass = Run();
  ExpectFailure(noClass, "Class not found: com.veltrana.kestrix.app.ZephylKestrixApp");
  EXPECT_TRUE(Has(noClass.record, std::string("FindClass ") + kMainClassSlashed));
  // The pending exception is not described; the process just ends.
  EXPECT_FALSE(Has(noClass.record, "ExceptionDescribe"));
  EXPECT_FALSE(Has(noClass.record, "DestroyJavaVM"));
  EXPECT_FALSE(Has(noClass.record, "unloaded"));

  SetEnvironmentVariableA("KX_STANDIN_JVM_FAIL", "main");
  Outcome noMain = Run();
  ExpectFailure(noMain,
                "In class com.veltrana.kestrix.app.ZephylKestrixApp: public static void "
                "main(String args[]) is not defined");
  EXPECT_TRUE(Has(noMain.record, "GetStaticMethodID main ([Ljava/lang/String;)V on class"));
  EXPECT_FALSE(Has(noMain.record, "ExceptionDescribe"));
  EXPECT_FALSE(Has(noMain.record, "DestroyJavaVM"));
}

TEST_F(Launch, ArgumentArrayThatCannotBeBuiltEndsThroughFatalError) {
  Install(dir_ + "\\kx");
  // Everything on stderr goes through the runtime's text-mode stream: CR LF.
  const std::string fatal = "FATAL ERROR in native method: Couldn't build argument list for main\r\n";
  struct Case {
    const char* how;
    std::string described;  // what the pending exception's description says
  };
  const Case cases[] = {
      {"strclass", "Exception in thread \"main\" java.lang.NoClassDefFoundError: java/lang/String\r\n"},
      {"array", "Exception in thread \"main\" java.lang.OutOfMemoryError: the stand-in refuses the "
                "array\r\n"},
      {"string", ""},  // no exception pending
  };
  for (const Case& c : cases) {
    const char* how = c.how;
    SCOPED_TRACE(how);
    SetEnvironmentVariableA("KX_STANDIN_JVM_FAIL", how);
    Outcome o = Run("one two");
    EXPECT_EQ(o.run.exitCode, kStandInFatalStatus);
    // Message 8 reaches the virtual machine with its newline.
    int fatalAt = IndexOf(o.record, "FatalError Couldn't build argument list for main\\n");
    EXPECT_GE(fatalAt, 0);
    EXPECT_FALSE(Has(o.record, "CallStaticVoidMethod main"));
    if (!c.described.empty()) {
      // The exception the virtual machine left pending is described first.
      EXPECT_EQ(IndexOf(o.record, "ExceptionDescribe"), fatalAt - 1);
    } else {
      EXPECT_EQ(IndexOf(o.record, "ExceptionOccurred no"), fatalAt - 1);
    }
    EXPECT_EQ(o.err, c.described + fatal);
  }
}

TEST_F(Launch, UnsetPathBecomesEmptyBetweenTheLastTwoSemicolons) {
  const std::string I = dir_ + "\\kx";
  Install(I);
  Outcome o;
  {
    ScopedEnv noPath("PATH", nullptr);
    o = Run("a");
  }
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_TRUE(Has(o.record, "PATH at load (unset)"));
  EXPECT_TRUE(Has(o.record, "PATH " + I + "\\bin;" + I + "\\jre\\bin;;"));
}

TEST_F(Launch, PathLongerThanTheFixedBufferReachesTheVmWhole) {
  const std::string I = dir_ + "\\kx";
  Install(I);
  std::string longPath = CurrentPath();
  for (int i = 0; longPath.size() < 6000; ++i) longPath += ";C:\\tools\\folder" + std::to_string(i);
  Outcome o;
  {
    ScopedEnv path("PATH", longPath.c_str());
    o = Run("a");
  }
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_TRUE(Has(o.record, "PATH at load " + longPath));
  EXPECT_TRUE(Has(o.record, "PATH " + I + "\\bin;" + I + "\\jre\\bin;" + longPath + ";"));
}

TEST_F(Launch, DriveRootGivesTwoAdjacentBackslashesUsedAsFormed) {
  const std::string I = Env("KX_ROOTDRIVE") + "\\";
  ASSERT_EQ(I, "R:\\");
  Install(I);
  const std::string oldPath = CurrentPath();
  Outcome o = Run("a");
  EXPECT_EQ(o.run.exitCode, 0u);
  EXPECT_TRUE(Has(o.record, "option 1 -Djava.class.path=R:\\\\classes\\zephkes.jar;R:\\\\classes "
                            "extraInfo=null"));
  EXPECT_TRUE(Has(o.record, "option 2 -Djava.library.path=R:\\\\bin extraInfo=null"));
  EXPECT_TRUE(Has(o.record, "option 3 -Djava.Home=R:\\\\jre extraInfo=null"));
  EXPECT_TRUE(Has(o.record, "option 4 -Dcom.veltrana.kestrix.installpath=R:\\ extraInfo=null"));
  EXPECT_TRUE(Has(o.record, "PATH R:\\\\bin;R:\\\\jre\\bin;" + oldPath + ";"));

  Install(I, "");
  ExpectFailure(Run(), "Could not load runtime library: R:\\\\jre\\bin\\classic\\jvm.dll");
}

TEST_F(Launch, InstallPathTooLongForTheLibraryPathIsRefusedBeforeLoading) {
  // Longest that fits: 235 characters, library path 259.
  std::string fits = dir_ + "\\";
  fits += std::string(235 - fits.size(), 'k');
  ASSERT_EQ(fits.size(), 235u);
  Install(fits);
  Outcome ok = Run("a");
  EXPECT_EQ(ok.run.exitCode, 0u) << ok.err;
  EXPECT_TRUE(Has(ok.record, "loaded " + fits + kRuntimeSuffix));

  std::string tooLong = fits + "x";
  Install(tooLong);
  Outcome refused = Run("a");
  ExpectFailure(refused, "Zephyl Kestrix installation path is too long (more than 235 characters)");
  EXPECT_TRUE(refused.record.empty()) << refused.record[0];
}

// The stand-in watches the launcher's malloc calls (KX_STANDIN_JVM_MALLOC)
// from the moment it loads: first the buffer sizes, then each allocation
// refused in turn.
TEST_F(Launch, BufferSizesAndAllocationFailures) {
  const std::string I = dir_ + "\\kx";
  Install(I);
  const size_t L = I.size();
  const size_t oldLength = CurrentPath().size();
  ASSERT_LT(oldLength, 2048u);

  SetEnvironmentVariableA("KX_STANDIN_JVM_MALLOC", "0");
  Outcome watched = Run("ab");
  EXPECT_EQ(watched.run.exitCode, 0u);
  std::vector<std::string> sizes;
  for (const std::string& line : watched.record)
    if (line.rfind("malloc", 0) == 0) sizes.push_back(line);
  const std::vector<std::string> expected = {
      "malloc watched",
      "malloc " + std::to_string(oldLength + 2 * L + 16),  // new PATH
      "malloc " + std::to_string(2 * L + 256),             // class path option
      "malloc " + std::to_string(L + 256),                 // library path option
      "malloc " + std::to_string(L + 256),                 // java.Home option
      "malloc " + std::to_string(L + 256),                 // installation path option
      "malloc 42",                                         // the class name's copy
      "malloc 6",                                          // "ab" in UTF-16 with its NUL
  };
  ASSERT_GE(sizes.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(sizes.begin(), sizes.begin() + expected.size()), expected);

  SetEnvironmentVariableA("KX_STANDIN_JVM_MALLOC", "1");
  ExpectFailure(Run("ab"), "Could not create PATH string for Java VM");

  SetEnvironmentVariableA("KX_STANDIN_JVM_MALLOC", "3");
  Outcome option = Run("ab");
  ExpectFailure(option, std::string("malloc: ") + strerror(ENOMEM));
  EXPECT_FALSE(Has(option.record, "JNI_CreateJavaVM version=0x00010002 nOptions=5 ignoreUnrecognized=1"));

  SetEnvironmentVariableA("KX_STANDIN_JVM_MALLOC", "6");
  Outcome className = Run("ab");
  ExpectFailure(className, "Could not allocate memory for the main class name");
  EXPECT_FALSE(Has(className.record, std::string("FindClass ") + kMainClassSlashed));

  SetEnvironmentVariableA("KX_STANDIN_JVM_MALLOC", "7");
  Outcome argument = Run("ab");
  EXPECT_EQ(argument.run.exitCode, kStandInFatalStatus);
  EXPECT_TRUE(Has(argument.record, "FatalError Couldn't build argument list for main\\n"));
}

}  // namespace
