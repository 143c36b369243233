#include <string.h>

#include <initializer_list>

#include "../common/scoped.h"
#include "webctl.h"

// Set by the DLL's DllMain (or by a test program to its own module): the
// message texts come from the string table of the module the library is
// linked into.
HINSTANCE ModuleInstance;

MessageRoad TextRoad;

namespace {
constexpr int kMessageTextCapacity = 256;
constexpr int kCaptionCapacity = 64;
// "caption: text -> answer" and a line end.
constexpr size_t kLogLineCapacity = kCaptionCapacity + kMessageTextCapacity + 16;


int LoadAnsiText(UINT id, char* buffer, int size) {
  // LoadStringA truncates to size - 1 characters and terminates.
  return LoadStringA(ModuleInstance, id, buffer, size);
}

bool IsQuestion(UINT type) { return (type & MB_TYPEMASK) == MB_YESNO; }

// What a box nobody sees is taken to have answered.
int TakenAnswer(UINT type) {
  if (!IsQuestion(type)) return IDOK;
  return TextRoad.answer == IDNO ? IDNO : IDYES;
}

const char* AnswerName(int answer) {
  return answer == IDYES ? "Yes" : answer == IDNO ? "No" : "OK";
}

// "caption: text -> answer" and the line end into line, cut to fit.
// (Formed by hand: the C runtime's formatting functions would add more to
// the DLL than the rest of it together.)
size_t FormLogLine(char (&line)[kLogLineCapacity], const char* caption, const char* text,
                   int answer, const char* end) {
  size_t length = 0;
  for (const char* part : {caption, ": ", text, " -> ", AnswerName(answer), end}) {
    const size_t n = strlen(part);
    const size_t room = sizeof line - 1 - length;
    const size_t take = n < room ? n : room;
    memcpy(line + length, part, take);
    length += take;
  }
  line[length] = '\0';
  return length;
}

// One line for the debug output and the log file; the file is opened for
// each line and closed again, so that the installer may write its own lines
// into the same file between ours.
void WriteLogLine(const char* caption, const char* text, int answer) {
  char line[kLogLineCapacity];
  const size_t written = FormLogLine(line, caption, text, answer, "\r\n");
  OutputDebugStringA(line);
  if (TextRoad.logFile[0] == '\0') return;
  // Appended by seeking to the end: 95/98 know no append-only access.
  ScopedHandle file(CreateFileA(TextRoad.logFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return;
  if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return;
  DWORD done = 0;
  WriteFile(file.get(), line, static_cast<DWORD>(written), &done, nullptr);
}

// A text through the Windows Installer: its user message shows a box at
// full and basic UI and gives the answer, and shows nothing (0) when the
// installation runs without UI. The answer taken is logged either way.
int InstallerMessage(const char* caption, const char* text, UINT type) {
  int answer = 0;
  if (TextRoad.ask || !IsQuestion(type))
    answer = SendInstallerText(
        TextRoad.install,
        static_cast<INSTALLMESSAGE>(INSTALLMESSAGE_USER |
                                    (type & ~static_cast<UINT>(MB_TASKMODAL))),
        text);
  if (answer != IDYES && answer != IDNO && answer != IDOK) answer = TakenAnswer(type);
  char line[kLogLineCapacity];
  FormLogLine(line, caption, text, answer, "");
  SendInstallerText(TextRoad.install, INSTALLMESSAGE_INFO, line);
  return answer;
}

}  // namespace

int LoadMessageText(HINSTANCE instance, UINT id, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  int count = LoadStringA(instance, id, buffer, size);
  if (count != 0) CharToOemA(buffer, buffer);
  return count;
}

int ShowMessage(UINT id, UINT type) {
  char text[kMessageTextCapacity];
  char caption[kCaptionCapacity];
  if (LoadAnsiText(id, text, kMessageTextCapacity) == 0) return 0;
  if (LoadAnsiText(kMsgCaption, caption, kCaptionCapacity) == 0) return 0;
  switch (TextRoad.kind) {
    case MessageRoad::kUnattended: {
      const int answer = TakenAnswer(type);
      WriteLogLine(caption, text, answer);
      return answer;
    }
    case MessageRoad::kInstaller:
      return InstallerMessage(caption, text, type);
    case MessageRoad::kBox:
      break;
  }
  // The box shows the texts in the OEM character set, as it always did.
  CharToOemA(text, text);
  CharToOemA(caption, caption);
  return MessageBoxA(nullptr, text, caption, type);
}

bool SetUnattendedRoad(int answer, const char* logFile) {
  if (answer != 0 && answer != 1) return false;
  if (logFile == nullptr) logFile = "";
  const size_t length = strlen(logFile);
  if (length >= sizeof TextRoad.logFile) return false;
  TextRoad.kind = MessageRoad::kUnattended;
  TextRoad.answer = answer == 1 ? IDYES : IDNO;
  memcpy(TextRoad.logFile, logFile, length + 1);
  return true;
}

void SetInstallerRoad(MSIHANDLE install, int answer, bool ask) {
  TextRoad.kind = MessageRoad::kInstaller;
  TextRoad.install = install;
  TextRoad.answer = answer == 1 ? IDYES : IDNO;
  TextRoad.ask = ask;
}

void SetBoxRoad() { TextRoad = MessageRoad(); }

InstallerRoadScope::InstallerRoadScope(MSIHANDLE install, int answer, bool ask)
    : saved_(TextRoad) {
  SetInstallerRoad(install, answer, ask);
}

InstallerRoadScope::~InstallerRoadScope() { TextRoad = saved_; }

int KX_EXPORT_CC SetUnattended(int answer, const char* logFile) {
  return SetUnattendedRoad(answer, logFile) ? 1 : 0;
}
