// Building the wizard window's contents before it is first shown.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/qv_win32_dialog.h"
#include "engine/shell_integration.h"
#include "wizard/control_ids.h"
#include "wizard/install_directory.h"

HWND qvWin32Dialog::CreateImageButton(CWINButton& button, int id, int x, int y, int w, int h, WORD png, bool hand) {
  HWND child = CreateWindowExA(0, "button", "", WS_CHILD | WS_VISIBLE, x, y, w, h, hwnd,
                               reinterpret_cast<HMENU>((INT_PTR)id), hInstance, nullptr);
  button.Attach(child);
  button.SetImage(hInstance, png);
  if (hand) button.handCursor = 1;
  return child;
}

bool qvWin32Dialog::OnCreate() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  CreateImageButton(closeButton, IDC_CLOSE, 468, 0, 35, 32, 156, false);
  CreateImageButton(minimizeButton, IDC_MINIMIZE, 433, 0, 35, 32, 163, false);
  CreateImageButton(installButton, IDC_INSTALL, 306, 331, 37, 31, 164, true);
  CreateImageButton(agreementLink, IDC_AGREEMENT, 292, 223, 37, 31, 158, true);
  CreateImageButton(nextButton, IDC_NEXT, 235, 330, 83, 23, 161, true);
  agreeBox = CreateWindowExA(0, "button", "", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 190, 223, 13, 13, hwnd,
                             reinterpret_cast<HMENU>((INT_PTR)IDC_AGREE), hInstance, nullptr);
  CheckDlgButton(hwnd, IDC_AGREE, BST_CHECKED);
  CreateImageButton(browseButton, IDC_BROWSE, 352, 204, 37, 31, 171, true);
  CreateImageButton(defaultDirLink, IDC_DEFAULT_DIR, 352, 243, 37, 31, 162, true);
  CreateImageButton(backButton, IDC_BACK, 212, 331, 37, 31, 159, true);

  pathEdit = CreateWindowExA(0, "edit", "", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 43, 209, 298, 18, hwnd,
                             reinterpret_cast<HMENU>((INT_PTR)IDC_PATH), hInstance, nullptr);
  pathFont = CreateFontA(14, 7, 0, 0, 400, FALSE, FALSE, FALSE, 134, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                         PROOF_QUALITY, FIXED_PITCH | FF_MODERN, "宋体");
  SendMessageA(pathEdit, WM_SETFONT, reinterpret_cast<WPARAM>(pathFont), TRUE);
  // Centre the single line of text vertically in the field.
  RECT format;
  GetClientRect(pathEdit, &format);
  HDC fieldDc = GetDC(pathEdit);
  HGDIOBJ previousFont = SelectObject(fieldDc, pathFont);
  TEXTMETRICA metrics;
  GetTextMetricsA(fieldDc, &metrics);
  SelectObject(fieldDc, previousFont);
  ReleaseDC(pathEdit, fieldDc);
  format.top += (format.bottom - metrics.tmExternalLeading - metrics.tmHeight) / 2;
  SendMessageA(pathEdit, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&format));

  CreateImageButton(cancelButton, IDC_CANCEL, 330, 330, 83, 32, 160, true);
  progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH, 31, 182, 417, 19, hwnd,
                                reinterpret_cast<HMENU>((INT_PTR)IDC_PROGRESS), hInstance, nullptr);
  SendMessageA(progressBar, PBM_SETRANGE32, 0, 100);
  SendMessageA(progressBar, PBM_SETPOS, 0, 0);

  statusRect = {30, 140, 330, 155};
  percentRect = {300, 140, 436, 155};

  if (!job.FetchSetupDescriptor()) {
    MessageBoxA(hwnd, "无法连接网络", "退出", MB_OK);
    PostQuitMessage(0);
    return false;
  }

  SendMessageA(pathEdit, EM_LIMITTEXT, (WPARAM)(259 - (int)strlen(job.gameName)), 0);

  char root[260];
  int rootSize = sizeof root;
  GetSystemDriveRoot(root, &rootSize);
  snprintf(defaultDir, sizeof defaultDir, "%sProgram Files\\%s\\", root, job.gameName);
  snprintf(targetDir, sizeof targetDir, "%s", defaultDir);
  SetWindowTextA(pathEdit, defaultDir);

  WriteWbConfig();

  const struct {
    SkinImage* image;
    WORD id;
  } pictures[] = {{&backgroundImage, 154}, {&sideImage, 174}, {&bannerImage, 176}, {&pathFrameImage, 172},
                  {&folderImage, 175}};
  for (const auto& picture : pictures) {
    if (HRSRC resource = FindResourceA(hInstance, MAKEINTRESOURCEA(picture.id), "PNG")) {
      LoadResourceImage(hInstance, resource, *picture.image);
    }
  }

  int width, height;
  if (backgroundImage.IsLoaded()) {
    width = backgroundImage.Width();
    height = backgroundImage.Height();
  } else {
    RECT client;
    GetClientRect(hwnd, &client);
    width = client.right;
    height = client.bottom;
  }
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  if (backgroundImage.IsLoaded()) {
    SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER);
  } else {
    SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
  }

  const int free = GetFreeSpaceKB(defaultDir);
  freeKB = free < 0 ? 0 : free;
  requiredKB = job.requiredSpaceKb;
  page = PAGE_WELCOME;
  ShowPage();
  return true;
}
