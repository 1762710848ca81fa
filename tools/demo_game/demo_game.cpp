// A stand-in game for demos and tests. Its main window has the title
// "Zuvuva Demo Game"; it appends "started" to demo_game.log beside its
// executable when it starts and "closed" when its window receives WM_CLOSE,
// then exits.
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const char kTitle[] = "Zuvuva Demo Game";

void Log(const char* line) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return;
  char* slash = strrchr(path, '\\');
  if (!slash || (size_t)(slash - path) + sizeof "\\demo_game.log" > sizeof path) return;
  strcpy(slash, "\\demo_game.log");
  if (FILE* file = fopen(path, "a")) {
    fprintf(file, "%s %lu\n", line, GetCurrentProcessId());
    fclose(file);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Log("closed");
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT area;
      GetClientRect(window, &area);
      DrawTextA(dc, "Zuvuva demo game is running.", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &paint);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "ZuvuvaDemoGame";
  if (!RegisterClassA(&windowClass)) return 1;
  HWND window = CreateWindowA("ZuvuvaDemoGame", kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480, 200,
                              nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  Log("started");
  ShowWindow(window, show);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
