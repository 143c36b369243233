// The NSIS setup and uninstaller of docs/nsis/kestrix.nsi, run silently as an
// administrator would, with nobody at the display: the DLLs take the answer
// of the command line and write their texts to the log. What the
// installation leaves on the machine, and that the uninstaller takes it all
// away again. On Windows NT, where the uninstall
// hook starts the service manager's removal; Wine's own NT performance data
// lists no processes, so the stand-in provider does. Run as Japanese Windows
// too (code page 932), into a folder named with characters whose second byte
// is a backslash.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kxtest.h"
#include "../tearhook/tearhook_texts.h"
#include "../webpause/webpause_texts.h"

using namespace kxtest;

namespace {

constexpr char kSetup[] = "kestrix-2.0-installer.exe";
constexpr char kMinimalSetup[] = "kestrix-minimal.exe";  // from docs/nsis/minimal.nsi
constexpr char kKestrixKey[] = "Software\\Veltrana";
constexpr char kInstallationKey[] = "Software\\Veltrana\\Kestrix\\2.0\\Installation";
constexpr char kJavaKey[] = "Software\\Veltrana\\Kestrix\\2.0\\Java Runtime Environment\\1.2.1";
constexpr char kOldJavaKey[] = "Software\\Veltrana\\Kestrix\\2.0\\Java Runtime Environment\\1.1.8";
constexpr char kArpKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrix 2.0";
constexpr char kFilterKey[] = "SYSTEM\\CurrentControlSet\\Services\\W3SVC\\Parameters";
constexpr char kPerfKey[] = "System\\CurrentControlSet\\Services\\KxInstallerPerf";
constexpr char kFilters[] =
    "C:\\InetPub\\filters\\sspifilt.dll,C:\\Program Files\\Servana\\bin\\servana.dll, "
    "C:\\InetPub\\filters\\compress.dll";
constexpr char kFiltersAfter[] = "C:\\InetPub\\filters\\sspifilt.dll, C:\\InetPub\\filters\\compress.dll";
constexpr const char* kShipped[] = {"pathstamp.exe", "kxlaunch.exe", "propexec.exe",
                                    "propexecw.exe", "webpause.dll", "tearhook.dll"};
constexpr DWORD kRunMs = 180000;

// view KEY_WOW64_64KEY: as 64-bit programs see it on 64-bit Windows.
std::string Value(const std::string& key, const char* name, REGSAM view = 0) {
  std::string data;
  return RegRead(HKEY_LOCAL_MACHINE, key, name, &data, nullptr, view) ? data : "<absent>";
}

bool KeyExists(const char* key, REGSAM view = 0) {
  HKEY h;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | view, &h) != ERROR_SUCCESS)
    return false;
  RegCloseKey(h);
  return true;
}

// Every file under dir, as paths relative to it.
void ListFiles(const std::string& dir, const std::string& prefix, std::vector<std::string>* out) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ListFiles(dir + "\\" + name, prefix + name + "\\", out);
    else
      out->push_back(prefix + name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// Doubles each backslash that stands as a character of its own, as an
// editor in the system's code page saves a Windows path in a properties file.
std::string Escaped(const std::string& path) {
  std::string out;
  for (size_t i = 0; i < path.size(); ++i) {
    if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) out += path[i++];
    else if (path[i] == '\\') out += '\\';
    out += path[i];
  }
  return out;
}

// A UTF-8 text as a message box shows it to this process.
std::string Ansi(const char* utf8) {
  wchar_t wide[1024];
  char ansi[2048];
  if (MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 1024) <= 0) return "<bad>";
  int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
  return n > 0 ? ansi : "<bad>";
}

// The value of the record's first line "KEY value".
std::string RecordField(const std::string& record, const std::string& key) {
  std::string lines = "\n" + record;
  size_t at = lines.find("\n" + key + " ");
  if (at == std::string::npos) return "<none>";
  at += key.size() + 2;
  return lines.substr(at, lines.find('\n', at) - at);
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TempDir();
    // Registered with the full path of the provider: it is loaded into
    // whichever process asks for the process list.
    const std::string perf = std::string(kPerfKey) + "\\Performance";
    RegWriteSz(HKEY_LOCAL_MACHINE, perf, "Library", BinPath("standin-perf-provider.dll"));
    RegWriteSz(HKEY_LOCAL_MACHINE, perf, "Open", "StandinOpen");
    RegWriteSz(HKEY_LOCAL_MACHINE, perf, "Collect", "StandinCollect");
    RegWriteSz(HKEY_LOCAL_MACHINE, perf, "Close", "StandinClose");
    RegWriteSz(HKEY_LOCAL_MACHINE, kFilterKey, "Filter DLLs", kFilters);
    // The DLLs start the system's net.exe: scripts/wine-run --net made a
    // recording one take its place.
    netRecord_ = dir_ + "\\net.record";
    SetEnvironmentVariableA("KX_NET_RECORD", netRecord_.c_str());
    ASSERT_TRUE(CopyTo(BinPath(kSetup), dir_ + "\\" + kSetup));
    ASSERT_TRUE(CopyTo(BinPath("person.exe"), dir_ + "\\person.exe"));
    ASSERT_TRUE(CopyTo(StandinPath("standin_webserver.exe"), dir_ + "\\inetinfo.exe"));
  }

  void TearDown() override {
    if (server_) {
      TerminateProcess(server_, 0);
      CloseHandle(server_);
    }
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kPerfKey);
  }

  // Starts the stand-in web server with a window and waits until it is up.
  void StartWebServer(const std::string& record) {
    SetEnvironmentVariableA("KX_WEBSERVER_RECORD", record.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string command = "\"" + dir_ + "\\inetinfo.exe\" window";
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    CloseHandle(pi.hThread);
    server_ = pi.hProcess;
    ASSERT_TRUE(WaitFor([&] { return ReadFile(record).find("ready") != std::string::npos; },
                        20000));
  }

  // Runs a command line through the person, who gives `answer` to a
  // question; returns what the person printed. The exit status goes to
  // *status.
  std::string RunAnswered(const std::string& commandLine, const std::string& name,
                          const char* answer, DWORD* status) {
    std::string output = dir_ + "\\" + name + ".out";
    RunResult run = kxtest::Run("\"" + dir_ + "\\person.exe\" --answer " + answer + " \"" +
                                    commandLine + "\"",
                                dir_, kRunMs, output);
    std::string printed = ReadFile(output);
    printed.erase(std::remove(printed.begin(), printed.end(), '\r'), printed.end());
    EXPECT_TRUE(run.finished) << printed;
    *status = run.exitCode;
    return printed;
  }
  // With the person watching, who answers nothing: a box would stay until
  // the person's time limit ends the run (status 124).
  std::string RunAlone(const std::string& commandLine, const std::string& name, DWORD* status) {
    std::string printed = RunAnswered(commandLine, name, "none --limit 90", status);
    EXPECT_EQ(printed.find("message box"), std::string::npos) << name << ": " << printed;
    return printed;
  }
  std::string Log(const std::string& name) { return ReadFile(dir_ + "\\" + name + ".log"); }

  std::string dir_;
  std::string netRecord_;
  HANDLE server_ = nullptr;
};

TEST_F(Installer, InstallsThroughWebpauseAndUninstallsThroughTearhookLeavingNothing) {
  std::string programFiles = Value("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
  ASSERT_NE(programFiles, "<absent>");
  // As Japanese Windows (wine-run --lang ja) the DLLs speak Japanese, and the
  // setup is told (/D=, last on its line) a folder whose name ends in ソフト表:
  // 83 5C 83 74 83 67 95 5C in code page 932.
  const bool japanese = Env("LC_ALL").rfind("ja", 0) == 0;
  if (japanese) ASSERT_EQ(GetACP(), 932u);
  const std::string home = programFiles + (japanese ? "\\Veltrana\\\x83\x5C\x83\x74\x83\x67\x95\x5C"
                                                     : "\\Veltrana\\Kestrix 2.0");
  const std::string folder = japanese ? " /D=" + home : "";
  const char* const* pauseTexts = japanese ? webpause_texts::kJapanese : webpause_texts::kEnglish;
  const char* const* hookTexts =
      japanese ? tearhook_test::kJapaneseTexts : tearhook_test::kEnglishTexts;

  const std::string question = Ansi(pauseTexts[5]) + ": " + Ansi(pauseTexts[1]) + " -> ";
  const std::string serverRecord = dir_ + "\\webserver.record";
  StartWebServer(serverRecord);

  // With the web server running, /STOPWEBSERVER=no answers the question No:
  // the setup stops (status 2, as NSIS ends a run that its script stopped),
  // its log has the question and why, nothing of the installation exists
  // and the web server still runs.
  DWORD status = 0;
  std::string printed = RunAlone(dir_ + "\\" + kSetup + " /S /STOPWEBSERVER=no /LOG=" + dir_ +
                                     "\\declined.log" + folder,
                                 "declined", &status);
  EXPECT_EQ(status, 2u) << printed;
  EXPECT_NE(Log("declined").find(question + "No\r\n"), std::string::npos) << Log("declined");
  EXPECT_NE(Log("declined").find("Kestrix was not installed"), std::string::npos);
  EXPECT_FALSE(KeyExists(kKestrixKey));
  EXPECT_FALSE(KeyExists(kArpKey));
  EXPECT_FALSE(FileExists(home));
  EXPECT_EQ(ReadFile(serverRecord).find("WM_CLOSE"), std::string::npos);
  EXPECT_EQ(WaitForSingleObject(server_, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  // Unattended, the answer is Yes unless told: the installation, the
  // question in the log, and the web server stopped and started again.
  printed = RunAlone(dir_ + "\\" + kSetup + " /S /LOG=" + dir_ + "\\setup.log" + folder, "setup",
                     &status);
  EXPECT_EQ(status, 0u) << printed << Log("setup");
  EXPECT_NE(Log("setup").find(question + "Yes\r\n"), std::string::npos) << Log("setup");
  EXPECT_NE(ReadFile(serverRecord).find("WM_CLOSE"), std::string::npos);
  std::string net = ReadFile(netRecord_);
  size_t stop = net.find("stop \"World Wide Web Publishing Service\"");
  size_t start = net.find("start \"World Wide Web Publishing Service\"");
  EXPECT_TRUE(stop != std::string::npos && start != std::string::npos && stop < start) << net;

  // The registry record: pathstamp's values and the installer's flag.
  EXPECT_EQ(Value(kInstallationKey, "InstallPath"), home);
  EXPECT_EQ(Value(kInstallationKey, "online"), "true");
  EXPECT_EQ(Value(kJavaKey, "JavaHome"), home + "\\jre");
  EXPECT_EQ(Value(kJavaKey, "RuntimeLib"), home + "\\jre\\bin\\classic\\jvm.dll");
  EXPECT_EQ(Value(kArpKey, "UninstallString"), "\"" + home + "\\uninstall.exe\"");
  // Only backslash characters are doubled for the properties reader.
  EXPECT_NE(ReadFile(home + "\\smon.properties").find("\njava.exe=" + Escaped(home) + "\\\\jre"),
            std::string::npos)
      << ReadFile(home + "\\smon.properties");
  // On 64-bit Windows the record of the 32-bit programs lands under
  // Wow6432Node, where 64-bit programs see it; nothing goes to their own
  // Software key.
  if (IsWow64()) {
    EXPECT_EQ(Value(std::string("Software\\Wow6432Node") + (kInstallationKey + 8), "InstallPath",
                    KEY_WOW64_64KEY),
              home);
    EXPECT_FALSE(KeyExists(kKestrixKey, KEY_WOW64_64KEY));
    EXPECT_EQ(Value(std::string("Software\\Wow6432Node") + (kArpKey + 8), "InstallLocation",
                    KEY_WOW64_64KEY),
              home);
  }
  // The note from AddToken and WriteTokens; the line feed token became CR LF.
  EXPECT_EQ(ReadFile(home + "\\install-note.txt"), "Kestrix 2.0 installed in " + home + "\r\n");
  // The installation holds the shipped files as they are.
  for (const char* file : kShipped)
    EXPECT_EQ(ReadFile(home + "\\" + file), ReadFile(BinPath(file))) << file;

  // kxlaunch as installed finds the installation that pathstamp recorded and
  // starts the application on its runtime (the stand-in jvm.dll records).
  const std::string jvmRecord = dir_ + "\\jvm.record";
  SetEnvironmentVariableA("KX_STANDIN_JVM_LOG", jvmRecord.c_str());
  RunResult run = kxtest::Run("\"" + home + "\\kxlaunch.exe\" hello", dir_, kRunMs, "",
                              dir_ + "\\kxlaunch.err");
  const std::string launched = ReadFile(jvmRecord) + ReadFile(dir_ + "\\kxlaunch.err");
  EXPECT_EQ(run.exitCode, 0u) << launched;
  EXPECT_EQ(launched.find("loaded " + home + "\\jre\\bin\\classic\\jvm.dll\n"), 0u) << launched;
  EXPECT_NE(launched.find("\noption 4 -Dcom.veltrana.kestrix.installpath=" + home + " extraInfo"),
            std::string::npos)
      << launched;
  EXPECT_NE(launched.find("\nmain received 1\narg 0 [hello]"), std::string::npos) << launched;

  // propexec as installed, started in the installation as the service
  // manager is, runs the Java executable that a properties file names by
  // the installation's path (the recording stand-in the setup put there).
  const std::string properties = dir_ + "\\smon.properties";
  const std::string escaped = Escaped(home);
  ASSERT_TRUE(WriteFile(properties, "java.exe=" + escaped + "\\\\jre\\\\bin\\\\java.exe\r\n" +
                                        "java.classpath=" + escaped + "\\\\lib\\\\smon.jar\r\n" +
                                        "java.path=" + escaped + "\\\\jre\\\\bin\r\n"));
  const std::string childRecord = dir_ + "\\java.record";
  SetEnvironmentVariableA("KX_RECORD_FILE", childRecord.c_str());
  run = kxtest::Run("\"" + home + "\\propexec.exe\" \"" + properties + "\" -r smon", home, kRunMs);
  const std::string child = ReadFile(childRecord);
  EXPECT_EQ(run.exitCode, 0u) << child;
  EXPECT_EQ(child.find("commandLine=\"" + home + "\\jre\\bin\\java.exe\" -r smon\nCLASSPATH=" +
                       home + "\\lib\\smon.jar\nPATH=" + home + "\\jre\\bin;"),
            0u)
      << child;
  EXPECT_NE(child.find("\ncurrentDirectory=" + home + "\n"), std::string::npos) << child;

  // Uninstall: the web server runs again, and the servlet engine's service
  // manager lies in the installation's bin folder, put there by its own
  // setup. The uninstaller runs from a copy, told the installation folder
  // (NSIS's "_?="), so that it can be waited for.
  TerminateProcess(server_, 0);
  CloseHandle(server_);
  server_ = nullptr;
  const std::string serverAgain = dir_ + "\\webserver-again.record";
  StartWebServer(serverAgain);
  ASSERT_TRUE(MakeDirs(home + "\\bin"));
  ASSERT_TRUE(CopyTo(StandinPath("tearhook_standin_service.exe"), home + "\\bin\\smon.exe"));
  ASSERT_TRUE(CopyTo(home + "\\uninstall.exe", dir_ + "\\uninstall.exe"));
  DeleteFileA(netRecord_.c_str());
  printed = RunAlone(dir_ + "\\uninstall.exe /S /LOG=" + dir_ + "\\uninstall.log _?=" + home,
                     "uninstall", &status);
  EXPECT_EQ(status, 0u) << printed << Log("uninstall");
  EXPECT_NE(Log("uninstall").find(Ansi(hookTexts[5]) + ": " + Ansi(hookTexts[1]) + " -> Yes\r\n"),
            std::string::npos)
      << Log("uninstall");
  EXPECT_NE(ReadFile(serverAgain).find("WM_CLOSE"), std::string::npos);
  // The hook stopped it: the uninstaller starts it again.
  EXPECT_NE(ReadFile(netRecord_).find("start \"World Wide Web Publishing Service\""),
            std::string::npos)
      << ReadFile(netRecord_);

  EXPECT_EQ(Value(kFilterKey, "Filter DLLs"), kFiltersAfter);
  // The filter list lies in the view 32-bit and 64-bit programs share.
  EXPECT_EQ(Value(kFilterKey, "Filter DLLs", KEY_WOW64_64KEY), kFiltersAfter);
  // The removal command as the hook formed it: the path holds blanks, so it
  // is quoted, or the system would look for "...\\Kestrix" first.
  std::string removal = ReadFile(home + "\\bin\\smon.exe.record");
  const std::string command = "\"" + home + "\\bin\\smon.exe\" -r smon-default";
  EXPECT_EQ(RecordField(removal, "command"), command) << removal;
  EXPECT_EQ(RecordField(removal, "title"), command) << removal;
  // Nothing of the installation is left; the service manager's files are not
  // the uninstaller's to remove.
  EXPECT_FALSE(KeyExists(kKestrixKey));
  EXPECT_FALSE(KeyExists(kArpKey));
  std::vector<std::string> left;
  ListFiles(home, "", &left);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"bin\\smon.exe", "bin\\smon.exe.record"}));

  // A record that can't be written (under a volatile key no lasting one can
  // be made): pathstamp says so, and the setup takes its files back and stops.
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKestrixKey, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  printed = RunAlone(dir_ + "\\" + kSetup + " /S /LOG=" + dir_ + "\\norecord.log" + folder,
                     "norecord", &status);
  const std::string log = Log("norecord");
  EXPECT_EQ(status, 2u) << printed << log;
  EXPECT_NE(log.find("pathstamp.exe could not record the installation"), std::string::npos) << log;
  left.clear();
  ListFiles(home, "", &left);
  EXPECT_EQ(left.size(), 2u);
  EXPECT_FALSE(KeyExists(kArpKey));
}

// Setups into a folder of one's own with a blank in its name, given with
// /D=, unquoted and last. No web server runs (as after an administrator
// stopped it): nothing is asked, and nothing is started again.
class OwnFolder : public Installer {
 protected:
  void SetUp() override {
    Installer::SetUp();
    home_ = dir_ + "\\Other Place\\KX";
  }
  void TearDown() override {
    SetKeyDacl(kInstallationKey, "D:(A;;0xF003F;;;WD)");
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kKestrixKey);
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, kArpKey);
    Installer::TearDown();
  }
  // Runs the setup silently into folder; its log is name.log.
  DWORD Setup(const std::string& name, const std::string& folder, const char* setup = kSetup) {
    CopyTo(BinPath(setup), dir_ + "\\" + setup);
    DWORD status = 0;
    RunAlone(dir_ + "\\" + setup + " /S /LOG=" + dir_ + "\\" + name + ".log /D=" + folder, name,
             &status);
    EXPECT_EQ(ReadFile(netRecord_).find("start"), std::string::npos) << name;
    return status;
  }
  // Runs a copy of folder's uninstaller (the last one copied, once the
  // folder is gone) silently; its log is name.log.
  DWORD Uninstall(const std::string& name, const std::string& folder) {
    CopyTo(folder + "\\uninstall.exe", dir_ + "\\uninstall.exe");
    DWORD status = 0;
    RunAlone(dir_ + "\\uninstall.exe /S /LOG=" + dir_ + "\\" + name + ".log _?=" + folder, name,
             &status);
    return status;
  }
  std::string home_;
};

// smon.properties names the folder installed into: propexec, started from
// elsewhere as a service manager may be, runs that folder's java.exe with
// its class path and search path.
TEST_F(OwnFolder, SmonPropertiesNameTheFolderInstalledInto) {
  ASSERT_EQ(Setup("setup", home_), 0u) << Log("setup");
  std::string doubled;
  for (char c : home_) doubled += c == '\\' ? std::string("\\\\") : std::string(1, c);
  EXPECT_NE(ReadFile(home_ + "\\smon.properties")
                .find("\njava.exe=" + doubled + "\\\\jre\\\\bin\\\\java.exe\r\n"),
            std::string::npos)
      << ReadFile(home_ + "\\smon.properties");

  const std::string record = dir_ + "\\java.record";
  SetEnvironmentVariableA("KX_RECORD_FILE", record.c_str());
  RunResult run = kxtest::Run("\"" + home_ + "\\propexec.exe\" \"" + home_ + "\\smon.properties\"",
                              dir_);
  SetEnvironmentVariableA("KX_RECORD_FILE", nullptr);
  EXPECT_TRUE(run.finished);
  const std::string got = ReadFile(record);
  EXPECT_EQ(got.find("commandLine=\"" + home_ + "\\jre\\bin\\java.exe\" -Xmx64m"), 0u) << got;
  EXPECT_NE(got.find("\nCLASSPATH=" + home_ + "\\lib\\smon.jar;" + home_ + "\\lib\\servlet.jar\n"),
            std::string::npos)
      << got;
  EXPECT_NE(got.find("\nPATH=" + home_ + "\\jre\\bin;"), std::string::npos) << got;
}

// A repair whose record refuses new values (pathstamp exits 1) stops with
// status 2 and leaves the earlier installation whole: its files, its record
// and its uninstaller entry. So does a setup into another folder, whose own
// values pathstamp wrote are taken back.
TEST_F(OwnFolder, AFailedSetupLeavesTheEarlierInstallationWhole) {
  ASSERT_EQ(Setup("first", home_), 0u) << Log("first");
  std::vector<std::string> files;
  ListFiles(home_, "", &files);
  ASSERT_TRUE(SetKeyDacl(kInstallationKey, "D:(D;;0x2;;;WD)(A;;0xF003F;;;WD)"));

  const std::string other = dir_ + "\\Elsewhere";
  for (const std::string& folder : {home_, other}) {
    // Into the other folder the setup doesn't even begin: Kestrix is
    // installed in home_ (status 4).
    const std::string name = folder == home_ ? "repair" : "elsewhere";
    EXPECT_EQ(Setup(name, folder), folder == home_ ? 2u : 4u) << Log(name);
    EXPECT_NE(Log(name).find(folder == home_ ? "pathstamp.exe could not record the installation"
                                             : "is installed in " + home_ + ":"),
              std::string::npos)
        << Log(name);
    std::vector<std::string> left;
    ListFiles(home_, "", &left);
    EXPECT_EQ(left, files) << name;
    for (const char* file : kShipped)
      EXPECT_TRUE(ReadFile(home_ + "\\" + file) == ReadFile(BinPath(file))) << name << " " << file;
    EXPECT_EQ(Value(kInstallationKey, "InstallPath"), home_) << name;
    EXPECT_EQ(Value(kInstallationKey, "online"), "true") << name;
    EXPECT_EQ(Value(kJavaKey, "JavaHome"), home_ + "\\jre") << name;
    EXPECT_EQ(Value(kJavaKey, "RuntimeLib"), home_ + "\\jre\\bin\\classic\\jvm.dll") << name;
    EXPECT_EQ(Value(kArpKey, "UninstallString"), "\"" + home_ + "\\uninstall.exe\"") << name;
  }
  std::vector<std::string> left;
  ListFiles(other, "", &left);
  EXPECT_EQ(left, std::vector<std::string>{});
  EXPECT_FALSE(FileExists(other));
}

// The guide's minimal script as an author copies it: its silent setup
// installs into the folder given with /D=, and a copy of its uninstaller,
// told that folder with _?=, has the filter taken out and removes it all.
TEST_F(OwnFolder, TheGuidesMinimalScriptInstallsAndUninstalls) {
  EXPECT_EQ(Setup("minimal", home_, kMinimalSetup), 0u);
  EXPECT_EQ(Value(kInstallationKey, "InstallPath"), home_);
  EXPECT_EQ(Value(kInstallationKey, "online"), "true");
  EXPECT_EQ(Value(kInstallationKey, "docs"), "false");
  EXPECT_EQ(Value(kArpKey, "QuietUninstallString"), "\"" + home_ + "\\uninstall.exe\" /S");
  for (const char* file : kShipped)
    if (std::string(file) != "webpause.dll")
      EXPECT_TRUE(ReadFile(home_ + "\\" + file) == ReadFile(BinPath(file))) << file;
  // One installation per machine: not a second one elsewhere.
  EXPECT_EQ(Setup("second", dir_ + "\\Second", kMinimalSetup), 4u);
  EXPECT_FALSE(FileExists(dir_ + "\\Second"));

  EXPECT_EQ(Uninstall("unminimal", home_), 0u);
  EXPECT_EQ(Value(kFilterKey, "Filter DLLs"), kFiltersAfter);
  EXPECT_FALSE(KeyExists(kKestrixKey));
  EXPECT_FALSE(KeyExists(kArpKey));
  EXPECT_FALSE(FileExists(home_));
}

// An installation's life, on Windows XP only.
class Life : public OwnFolder {};

// A second setup into another folder is refused, naming the installation,
// which stays whole; uninstalled, it takes its record and its Programs and
// Features entry with it.
TEST_F(Life, ASecondFolderIsRefusedAndTheUninstallTakesTheEntry) {
  ASSERT_EQ(Setup("first", home_), 0u) << Log("first");
  EXPECT_EQ(Value(kArpKey, "InstallLocation"), home_);
  EXPECT_EQ(Value(kArpKey, "QuietUninstallString"), "\"" + home_ + "\\uninstall.exe\" /S");
  EXPECT_EQ(Value(kArpKey, "DisplayVersion"), "2.0");
  EXPECT_EQ(Value(kArpKey, "Publisher"), "Veltrana");
  EXPECT_EQ(Setup("second", dir_ + "\\Second"), 4u) << Log("second");
  EXPECT_NE(Log("second").find("installed in " + home_), std::string::npos) << Log("second");
  EXPECT_FALSE(FileExists(dir_ + "\\Second"));
  EXPECT_EQ(Value(kInstallationKey, "InstallPath"), home_);

  EXPECT_EQ(Uninstall("uninstall", home_), 0u) << Log("uninstall");
  EXPECT_FALSE(KeyExists(kKestrixKey));
  EXPECT_FALSE(KeyExists(kArpKey));
}

// A repair keeps the administrator's smon.properties; an upgrade leaves
// nothing of an older version's record.
TEST_F(Life, ARepairKeepsSmonPropertiesAndDropsAnOlderRecord) {
  ASSERT_EQ(Setup("first", home_), 0u) << Log("first");
  std::string edited = ReadFile(home_ + "\\smon.properties");
  edited.replace(edited.find("-Xmx64m"), 7, "-Xmx512m");
  ASSERT_TRUE(WriteFile(home_ + "\\smon.properties", edited + "smon.port=8009\r\n"));
  RegWriteSz(HKEY_LOCAL_MACHINE, kOldJavaKey, "JavaHome", "C:\\old");
  RegWriteSz(HKEY_LOCAL_MACHINE, kInstallationKey, "servlets", "true");

  ASSERT_EQ(Setup("repair", home_), 0u) << Log("repair");
  EXPECT_EQ(ReadFile(home_ + "\\smon.properties"), edited + "smon.port=8009\r\n");
  EXPECT_FALSE(KeyExists(kOldJavaKey));
  EXPECT_EQ(Value(kInstallationKey, "servlets"), "<absent>");
  EXPECT_EQ(Value(kInstallationKey, "zephyl4"), "false");

  // Moved by hand: the setup into the new folder takes the stale record
  // over and moves the file's paths with it, keeping the edits.
  const std::string moved = dir_ + "\\Moved";
  ASSERT_TRUE(MoveFileA(home_.c_str(), moved.c_str()));
  ASSERT_EQ(Setup("moved", moved), 0u) << Log("moved");
  std::string expected = edited + "smon.port=8009\r\n";
  const std::string was = "Other Place\\\\KX";  // as the file writes it
  for (size_t at; (at = expected.find(was)) != std::string::npos;)
    expected.replace(at, was.size(), "Moved");
  EXPECT_EQ(ReadFile(moved + "\\smon.properties"), expected);
  EXPECT_EQ(Value(kInstallationKey, "InstallPath"), moved);
}

// A program of the installation holds a file: the uninstall is not a
// success with files left. The file goes at the next start of Windows
// (status 3), and the record and the entry go with the rest.
TEST_F(Life, AFileInUseGoesAtTheNextStartAndSaysSo) {
  ASSERT_EQ(Setup("setup", home_), 0u) << Log("setup");
  const std::string held = home_ + "\\propexec.exe";
  HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Uninstall("uninstall", home_), 3u) << Log("uninstall");
  CloseHandle(file);
  EXPECT_NE(Log("uninstall").find("removed at the next start of Windows: " + held),
            std::string::npos)
      << Log("uninstall");
  EXPECT_FALSE(FileExists(home_ + "\\kxlaunch.exe"));
  EXPECT_FALSE(KeyExists(kKestrixKey));
  EXPECT_FALSE(KeyExists(kArpKey));
}

// The folder deleted by hand: the uninstaller, which carries its own
// tearhook.dll, still takes the filter out and removes the stale record and
// entry.
TEST_F(Life, AnUninstallAfterTheFolderWasDeleted) {
  for (const char* setup : {kSetup, kMinimalSetup}) {
    ASSERT_EQ(Setup(setup, home_, setup), 0u) << Log(setup);
    ASSERT_TRUE(CopyTo(home_ + "\\uninstall.exe", dir_ + "\\uninstall.exe"));
    kxtest::Run("cmd /c rd /s /q \"" + home_ + "\"");
    ASSERT_FALSE(FileExists(home_));
    RegWriteSz(HKEY_LOCAL_MACHINE, kFilterKey, "Filter DLLs", kFilters);
    EXPECT_EQ(Uninstall(std::string("un") + setup, home_), 0u) << setup;
    EXPECT_EQ(Value(kFilterKey, "Filter DLLs"), kFiltersAfter) << setup;
    EXPECT_FALSE(KeyExists(kKestrixKey)) << setup;
    EXPECT_FALSE(KeyExists(kArpKey)) << setup;
  }
}

// The Windows Installer package of docs/wix/kestrix.wxs, built by wixl from
// the same files, deployed with msiexec as software distribution does: the
// DLLs' custom actions ask through the installer, stop and start the web
// server, and the installer takes back what a failed run did.
class Msi : public OwnFolder {
 protected:
  void SetUp() override {
    OwnFolder::SetUp();
    home_ = dir_ + "\\MsiHome\\KX";  // no blank: the person passes the line as it is
    ASSERT_TRUE(CopyTo(BinPath("kestrix-2.0.msi"), dir_ + "\\kestrix-2.0.msi"));
    StartWebServer(dir_ + "\\webserver.record");
  }
  // msiexec /i or /x, with options after the package, through the person;
  // its verbose log is name.log.
  DWORD Msiexec(const std::string& name, const char* verb, const std::string& options,
                const char* answer) {
    DWORD status = 0;
    printed_ = RunAnswered(std::string("msiexec.exe ") + verb + " " + dir_ +
                               "\\kestrix-2.0.msi " + options + " /l*v " +
                               dir_ + "\\" + name + ".log INSTALLDIR=" + home_,
                           name, answer, &status);
    return status;
  }
  bool ServerStoppedAndStarted() {
    const std::string net = ReadFile(netRecord_);
    const size_t stop = net.find("stop \"World Wide Web Publishing Service\"");
    return ReadFile(dir_ + "\\webserver.record").find("WM_CLOSE") != std::string::npos &&
           stop != std::string::npos &&
           net.find("start \"World Wide Web Publishing Service\"", stop) != std::string::npos;
  }
  std::string printed_;
};

TEST_F(Msi, DeclinedInFullUiChangesNothing) {
  EXPECT_EQ(Msiexec("declined", "/i", "", "no"), 1602u) << Log("declined");
  // The installer gives the box its own caption.
  EXPECT_NE(printed_.find("\": " + Ansi(webpause_texts::kEnglish[1]) + "\n   -> answered No\n"),
            std::string::npos)
      << printed_;
  EXPECT_FALSE(KeyExists(kKestrixKey));
  EXPECT_FALSE(FileExists(home_));
  EXPECT_EQ(ReadFile(dir_ + "\\webserver.record").find("WM_CLOSE"), std::string::npos);
}

// The record's key refuses the values: the run ends with 1603, its files and
// smon.properties are taken back, and the web server it stopped runs again.
TEST_F(Msi, AFailedRecordRollsBackAndStartsTheServerAgain) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallationKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_TRUE(SetKeyDacl(kInstallationKey, "D:(D;;0x2;;;WD)(A;;0xF003F;;;WD)"));
  EXPECT_EQ(Msiexec("denied", "/i", "/qn", "no"), 1603u) << Log("denied");
  EXPECT_EQ(printed_.find("message box"), std::string::npos) << printed_;
  EXPECT_FALSE(FileExists(home_));
  EXPECT_EQ(Value(kInstallationKey, "online"), "<absent>");
  EXPECT_FALSE(KeyExists(kJavaKey));
  EXPECT_TRUE(ServerStoppedAndStarted()) << ReadFile(netRecord_);
}

// /qn: no box, the default answer Yes, every text in the log; then /x /qn
// with the online component takes the filter out, starts the service
// manager's removal and leaves nothing of the installation.
TEST_F(Msi, QuietInstallAndRemoval) {
  ASSERT_EQ(Msiexec("install", "/i", "/qn", "no"), 0u) << Log("install");
  EXPECT_EQ(printed_.find("message box"), std::string::npos) << printed_;
  EXPECT_NE(Log("install").find(webpause_texts::kEnglish[1]), std::string::npos) << Log("install");
  EXPECT_TRUE(ServerStoppedAndStarted()) << ReadFile(netRecord_);
  EXPECT_EQ(Value(kInstallationKey, "InstallPath"), home_);
  EXPECT_EQ(Value(kJavaKey, "JavaHome"), home_ + "\\jre");
  EXPECT_EQ(Value(kJavaKey, "MicroVersion"), "2");
  EXPECT_EQ(Value(kJavaKey, "RuntimeLib"), home_ + "\\jre\\bin\\classic\\jvm.dll");
  EXPECT_EQ(Value("Software\\Veltrana\\Kestrix\\2.0\\Java Runtime Environment", "CurrentVersion"),
            "1.2");
  for (const auto& flag : {std::make_pair("online", "true"), std::make_pair("offline", "true"),
                           std::make_pair("zephyl4", "false"), std::make_pair("docs", "false")})
    EXPECT_EQ(Value(kInstallationKey, flag.first), flag.second) << flag.first;
  for (const char* file : kShipped)
    EXPECT_TRUE(ReadFile(home_ + "\\" + file) == ReadFile(BinPath(file))) << file;
  EXPECT_NE(ReadFile(home_ + "\\smon.properties")
                .find("\njava.exe=" + Escaped(home_) + "\\\\jre\\\\bin\\\\java.exe\r\n"),
            std::string::npos)
      << ReadFile(home_ + "\\smon.properties");

  ASSERT_TRUE(MakeDirs(home_ + "\\bin"));
  ASSERT_TRUE(CopyTo(StandinPath("tearhook_standin_service.exe"), home_ + "\\bin\\smon.exe"));
  EXPECT_EQ(Msiexec("remove", "/x", "/qn", "no"), 0u) << Log("remove");
  EXPECT_EQ(printed_.find("message box"), std::string::npos) << printed_;
  EXPECT_EQ(Value(kFilterKey, "Filter DLLs"), kFiltersAfter);
  EXPECT_EQ(RecordField(ReadFile(home_ + "\\bin\\smon.exe.record"), "command"),
            "\"" + home_ + "\\bin\\smon.exe\" -r smon-default");
  EXPECT_FALSE(KeyExists(kKestrixKey));
  std::vector<std::string> left;
  ListFiles(home_, "", &left);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"bin\\smon.exe", "bin\\smon.exe.record"}));
}

}  // namespace
