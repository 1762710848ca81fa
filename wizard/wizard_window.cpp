// The wizard window's message handling and its contents.
#include "app/qv_win32_dialog.h"
#include "wizard/setup_messages.h"

LRESULT qvWin32Dialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      OnPaint(dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_TIMER:
      OnTimer(LOWORD(wParam));
      return 0;
    case WM_SETUP_PROGRESS:
      return OnSetupProgress((int)lParam);
    case WM_SETUP_STATE:
      return OnSetupState((int)lParam);
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

int qvWin32Dialog::OnPaint(HDC dc) {
  RECT area;
  GetClientRect(hwnd, &area);
  FillRect(dc, &area, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  return 0;
}

bool qvWin32Dialog::OnCreate() { return true; }
