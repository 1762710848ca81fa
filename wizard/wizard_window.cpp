// The wizard window's message handling, pages and commands.
#include <windows.h>
#include <shellapi.h>

#include "app/qv_win32_dialog.h"
#include "wizard/control_ids.h"
#include "wizard/setup_messages.h"

LRESULT qvWin32Dialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      OnPaint(dc);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_NCHITTEST:
      return HitTest();
    case WM_COMMAND:
      OnCommand(wParam);
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

// The top 21 rows drag the window; the rest of the body does nothing.
LRESULT qvWin32Dialog::HitTest() {
  RECT client;
  GetClientRect(hwnd, &client);
  POINT origin = {client.left, client.top};
  ClientToScreen(hwnd, &origin);
  POINT cursor;
  GetCursorPos(&cursor);
  const bool inStrip = cursor.x >= origin.x && cursor.x <= origin.x + (client.right - client.left) &&
                       cursor.y >= origin.y && cursor.y <= origin.y + 20;
  return inStrip ? HTCAPTION : HTNOWHERE;
}

void qvWin32Dialog::ShowPage() {
  const HWND all[] = {installButton.window, agreementLink.window, nextButton.window, agreeBox,
                      browseButton.window,  defaultDirLink.window, backButton.window, pathEdit,
                      progressBar,          cancelButton.window};
  for (HWND child : all) ShowWindow(child, SW_HIDE);
  if (page == PAGE_WELCOME) {
    for (HWND child : {agreementLink.window, nextButton.window, cancelButton.window, agreeBox}) {
      ShowWindow(child, SW_SHOW);
    }
  } else if (page == PAGE_DIRECTORY) {
    for (HWND child : {installButton.window, browseButton.window, defaultDirLink.window, backButton.window, pathEdit,
                       cancelButton.window}) {
      ShowWindow(child, SW_SHOW);
    }
  } else if (page == PAGE_PROGRESS) {
    ShowWindow(progressBar, SW_SHOW);
    ShowWindow(cancelButton.window, SW_SHOW);
  }
  if (page == PAGE_DIRECTORY || page == PAGE_PROGRESS) {
    SetWindowPos(cancelButton.window, nullptr, 397, 331, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  InvalidateRect(hwnd, nullptr, TRUE);
}

void qvWin32Dialog::OnCommand(WPARAM wParam) {
  switch (LOWORD(wParam)) {
    case IDC_CANCEL:
      if (page == PAGE_WELCOME || page == PAGE_DIRECTORY) {
        RequestClose();
      } else if (page == PAGE_PROGRESS) {
        job.cancelRequested = true;
      }
      break;
    case IDC_CLOSE:
      RequestClose();
      break;
    case IDC_MINIMIZE:
      ShowWindow(hwnd, SW_SHOWMINIMIZED);
      break;
    case IDC_INSTALL:
      StartInstall();
      break;
    case IDC_AGREEMENT:
      ShellExecuteA(nullptr, nullptr, job.agreementUrl, nullptr, nullptr, SW_SHOWNORMAL);
      break;
    case IDC_NEXT:
      page = PAGE_DIRECTORY;
      ShowPage();
      break;
    case IDC_AGREE:
      OnAgreeClicked();
      break;
    case IDC_BROWSE:
      BrowseForFolder();
      break;
    case IDC_DEFAULT_DIR:
      RestoreDefaultDir();
      break;
    case IDC_BACK:
      page = PAGE_WELCOME;
      ShowPage();
      break;
    case IDC_PATH:
      if (HIWORD(wParam) == EN_CHANGE) OnPathEdited();
      break;
  }
}

void qvWin32Dialog::RequestClose() {
  if (page == PAGE_WELCOME || page == PAGE_DIRECTORY) {
    PostQuitMessage(0);
  } else {
    job.cancelRequested = true;
  }
}

void qvWin32Dialog::StartInstall() {
  if (pathInvalid) {
    MessageBoxA(hwnd, "指定的路径无效", "确认", MB_OK);
    return;
  }
  page = PAGE_PROGRESS;
  ShowPage();
  job.Start(hwnd, targetDir);
  WriteWbConfig();
}

void qvWin32Dialog::OnAgreeClicked() {
  const BYTE enable = SendMessageA(agreeBox, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
  nextButton.Enable(enable);
  installButton.Enable(enable);
}
