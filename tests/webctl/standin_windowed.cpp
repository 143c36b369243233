// Stand-in for a web server that owns a top-level window: it shows one
// titled window, ends when the window gets WM_CLOSE, and gives up after a
// minute so that nothing outlives the test. With "--untitled" the window
// has an empty title. Wine gives its thread a hidden
// "Default IME" window as well, which EnumWindows reports after this one.
#include <windows.h>

#include <string.h>

namespace {

constexpr char kClass[] = "KxStandinWebServer";
constexpr char kTitle[] = "Stand-in web server";
constexpr UINT_PTR kGiveUpTimer = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  const bool untitled = strstr(commandLine, "--untitled") != nullptr;
  WNDCLASSA wc = {};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClass;
  if (!RegisterClassA(&wc)) return 2;
  HWND window = CreateWindowA(kClass, untitled ? "" : kTitle, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                              nullptr, instance, nullptr);
  if (!window) return 3;
  SetTimer(window, kGiveUpTimer, 60000, nullptr);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
