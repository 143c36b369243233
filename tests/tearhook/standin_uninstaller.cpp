// Stand-in for the product's uninstaller: loads tearhook.dll by path and
// calls its two hooks by name, as the uninstaller does when it begins and
// when it ends:
//   tearhook_standin_uninstaller.exe [--answer yes|no] PATH\tearhook.dll
// With --answer, message boxes are answered from a second thread (for a
// display nobody sits at) and printed; without it, the person at the display
// answers. Prints each call with its result; exits 0 when both returned 0.
#include <stdio.h>
#include <string.h>

#include "kxtest.h"

namespace {

typedef LONG(__stdcall* Hook)(DWORD, DWORD, DWORD);

void PrintBoxes(kxtest::DialogAnswerer* answerer, const char* answer) {
  if (answerer == nullptr) return;
  for (const kxtest::DialogAnswerer::Box& box : answerer->Seen())
    printf("   message box \"%s\": %s\n   -> answered %s\n", box.caption.c_str(), box.text.c_str(),
           answer);
}

BOOL CALLBACK IgnoreWindow(HWND, LPARAM) { return TRUE; }

}  // namespace

int main(int argc, char** argv) {
  int next = 1;
  int button = 0;
  const char* answerName = "";
  if (argc > 3 && strcmp(argv[1], "--answer") == 0) {
    button = strcmp(argv[2], "no") == 0 ? IDNO : IDYES;
    answerName = button == IDNO ? "No" : "Yes (OK for a notice)";
    next = 3;
  }
  if (next >= argc) {
    printf("usage: tearhook_standin_uninstaller [--answer yes|no] PATH\\tearhook.dll\n");
    return 2;
  }
  HMODULE module = LoadLibraryA(argv[next]);
  if (!module) {
    printf("can't load %s (error %lu)\n", argv[next], GetLastError());
    return 2;
  }
  auto init =
      reinterpret_cast<Hook>(reinterpret_cast<void*>(GetProcAddress(module, "UninstInitialize")));
  auto uninit =
      reinterpret_cast<Hook>(reinterpret_cast<void*>(GetProcAddress(module, "UninstUnInitialize")));
  if (!init || !uninit) {
    printf("%s lacks a hook export\n", argv[next]);
    return 2;
  }

  // Wine sets up its window system on first use; doing that on two threads at
  // once (the hook's window look-up and the answerer) can deadlock it.
  EnumWindows(IgnoreWindow, 0);
  kxtest::DialogAnswerer* answerer = button ? new kxtest::DialogAnswerer({button}) : nullptr;
  DWORD begin = GetTickCount();
  LONG started = init(0, 0, 0);
  printf("UninstInitialize(0, 0, 0) = %ld after %lu ms\n", started, GetTickCount() - begin);
  PrintBoxes(answerer, answerName);
  delete answerer;
  fflush(stdout);
  // ... the uninstaller removes its files here ...
  LONG ended = uninit(0, 0, 0);
  printf("UninstUnInitialize(0, 0, 0) = %ld\n", ended);
  FreeLibrary(module);
  return started == 0 && ended == 0 ? 0 : 1;
}
