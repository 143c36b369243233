// Stand-in for the product's installer: loads webpause.dll (from its own
// folder) and calls the exports by name, in the order given:
//   standin_installer.exe [--answer yes|no] OPERATION...
//     shutdown      ShutdownService
//     restart       ?StartServiceA@@YGHXZ
//     token=TEXT    AddToken("TEXT")   (token= alone adds the empty token)
//     write=PATH    WriteTokens("PATH")
// With --answer, the message boxes are answered from a second thread (for a
// display nobody sits at); without it, the person at the display answers.
// Prints each call with its result; exits 0 when every call returned 1.
#include <stdio.h>
#include <string.h>

#include <string>

#include "kxtest.h"

namespace {

typedef int(__stdcall* NoArgument)();
typedef int(__stdcall* TextArgument)(const char*);

void PrintBoxes(kxtest::DialogAnswerer* answerer, size_t* shown, const char* answer) {
  if (answerer == nullptr) return;
  std::vector<kxtest::DialogAnswerer::Box> boxes = answerer->Seen();
  for (; *shown < boxes.size(); ++*shown) {
    printf("message box \"%s\": %s\n   -> answered %s\n", boxes[*shown].caption.c_str(),
           boxes[*shown].text.c_str(), answer);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int first = 1;
  int answerButton = 0;
  const char* answerName = "";
  if (argc > 2 && strcmp(argv[1], "--answer") == 0) {
    answerButton = strcmp(argv[2], "no") == 0 ? IDNO : IDYES;
    answerName = answerButton == IDNO ? "No" : "Yes";
    first = 3;
  }

  char dll[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, dll, sizeof dll);
  char* slash = n && n < sizeof dll ? strrchr(dll, '\\') : nullptr;
  if (!slash || static_cast<size_t>(slash - dll) + sizeof "\\webpause.dll" > sizeof dll) return 2;
  strcpy(slash, "\\webpause.dll");
  HMODULE module = LoadLibraryA(dll);
  if (!module) {
    printf("can't load %s (error %lu)\n", dll, GetLastError());
    return 2;
  }
  auto shutdown = reinterpret_cast<NoArgument>(GetProcAddress(module, "ShutdownService"));
  auto restart = reinterpret_cast<NoArgument>(GetProcAddress(module, "?StartServiceA@@YGHXZ"));
  auto addToken = reinterpret_cast<TextArgument>(GetProcAddress(module, "AddToken"));
  auto writeTokens = reinterpret_cast<TextArgument>(GetProcAddress(module, "WriteTokens"));
  if (!shutdown || !restart || !addToken || !writeTokens) {
    printf("webpause.dll lacks an export\n");
    return 2;
  }

  // Wine loads its display driver on the first window call; make that call
  // here, before the answering thread could make it while the DLL's look-up
  // holds the loader lock.
  if (answerButton)
    DestroyWindow(CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
  kxtest::DialogAnswerer* answerer =
      answerButton ? new kxtest::DialogAnswerer({answerButton}) : nullptr;
  size_t shown = 0;
  int failures = 0;
  for (int i = first; i < argc; ++i) {
    const char* op = argv[i];
    char call[512];
    int result = 0;
    if (strcmp(op, "shutdown") == 0) {
      result = shutdown();
      snprintf(call, sizeof call, "ShutdownService() = %d", result);
    } else if (strcmp(op, "restart") == 0) {
      DWORD begin = GetTickCount();
      result = restart();
      snprintf(call, sizeof call, "StartServiceA() = %d after %lu ms", result,
               GetTickCount() - begin);
    } else if (strncmp(op, "token=", 6) == 0) {
      result = addToken(op + 6);
      std::string shownToken;
      for (const char* c = op + 6; *c; ++c) shownToken += *c == '\n' ? std::string("\\n") : std::string(1, *c);
      snprintf(call, sizeof call, "AddToken(\"%s\") = %d", shownToken.c_str(), result);
    } else if (strncmp(op, "write=", 6) == 0) {
      result = writeTokens(op + 6);
      snprintf(call, sizeof call, "WriteTokens(\"%s\") = %d", op + 6, result);
    } else {
      snprintf(call, sizeof call, "unknown operation %s", op);
    }
    // The boxes a call showed come before its result.
    PrintBoxes(answerer, &shown, answerName);
    printf("%s\n", call);
    if (result != 1) ++failures;
    fflush(stdout);
  }
  delete answerer;
  FreeLibrary(module);
  return failures == 0 ? 0 : 1;
}
