// The window-object framework: class registration, creation and dispatch.
#include "app/qv_win32_dialog.h"

#include <cstdio>

#include "app/window_registry.h"
#include "wizard/setup_messages.h"

qvWin32Dialog::qvWin32Dialog(HINSTANCE instance)
    : hwnd(nullptr),
      progressBar(nullptr),
      agreeBox(nullptr),
      pathEdit(nullptr),
      hInstance(instance),
      page(PAGE_WELCOME),
      state(SETUP_READING_CONFIG),
      requiredKB(0),
      freeKB(0),
      progress(0),
      pathInvalid(false),
      statusText(SetupStatusText[SETUP_READING_CONFIG]),
      statusRect(),
      percentRect(),
      pathFont(nullptr) {
  snprintf(agreeLabel, sizeof agreeLabel, "%s", "已阅读并同意");
  defaultDir[0] = '\0';
  targetDir[0] = '\0';
}

qvWin32Dialog::~qvWin32Dialog() {
  // A worker that still runs stops at its next check.
  job.cancelRequested = true;
  WindowRegistry::Remove(hwnd);
  if (pathFont) DeleteObject(pathFont);
}

bool qvWin32Dialog::Create(const char* className, const char* title, DWORD style, const RECT& rect) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = StaticWindowProc;
  windowClass.hInstance = hInstance;
  windowClass.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(107));
  windowClass.hIconSm = LoadIconA(hInstance, MAKEINTRESOURCEA(108));
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);

  hwnd = CreateWindowExA(0, className, title, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT, rect.right, rect.bottom, nullptr,
                         nullptr, hInstance, nullptr);
  if (!hwnd) return false;
  // From here on the window's messages reach this object.
  WindowRegistry::Set(hwnd, this);
  if (!OnCreate()) return false;
  ShowWindow(hwnd, (style & WS_VISIBLE) ? SW_SHOWNORMAL : SW_HIDE);
  UpdateWindow(hwnd);
  return true;
}

LRESULT CALLBACK qvWin32Dialog::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (qvWin32Dialog* object = WindowRegistry::Lookup(window)) return object->WindowProc(message, wParam, lParam);
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      EndPaint(window, &paint);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
