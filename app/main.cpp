// Process entry of the installer: one instance at a time, the wizard window,
// the message loop.
#include <windows.h>

#include <cstdio>

#include "app/qv_win32_dialog.h"
#include "app/window_registry.h"

#ifndef ZV_PRODUCT_NAME
#define ZV_PRODUCT_NAME "Zuvuva"
#endif

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Load system DLLs from System32 only: nothing placed beside the executable
  // (a Downloads folder) is ever loaded.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

  HANDLE mutex = CreateMutexA(nullptr, FALSE, "MutexOnlineDownLoad");
  if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    MessageBoxA(nullptr, "应用程序已经在运行！", "提示", MB_ICONERROR | MB_OK);
    return 0;
  }

  WPARAM exitCode = 0;
  {
    qvWin32Dialog dialog(instance);
    char title[260];
    snprintf(title, sizeof title, "%s在线安装", ZV_PRODUCT_NAME);
    const RECT rect = {0, 0, 455, 325};
    dialog.Create(title, title, WS_VISIBLE | WS_OVERLAPPEDWINDOW, rect);
    // Without a window nothing would ever post the quit request.
    if (dialog.hwnd) {
      HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(109));
      MSG msg = {};
      while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
          TranslateMessage(&msg);
          DispatchMessageA(&msg);
        }
      }
      exitCode = msg.wParam;
    }
    WindowRegistry::Release();
  }
  return (int)exitCode;
}
