// The install directory on page 1: typed paths, the folder dialog and the
// restore-default link.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "app/qv_win32_dialog.h"
#include "wizard/install_directory.h"

void qvWin32Dialog::OnPathEdited() {
  char text[512];
  GetWindowTextA(pathEdit, text, sizeof text);
  if (strlen(text) >= 260) {
    SetWindowTextA(pathEdit, targetDir);
    return;
  }
  // An empty field or one without a usable drive is no install directory.
  const int free = GetFreeSpaceKB(text);
  if (free < 0) {
    pathInvalid = true;
    return;
  }
  freeKB = free;
  pathInvalid = false;
  ComposeTargetDir(text, job.gameName, targetDir);
  InvalidateRect(hwnd, nullptr, TRUE);
}

void qvWin32Dialog::BrowseForFolder() {
  char caption[260];
  snprintf(caption, sizeof caption, "将%s安装到:", job.gameName);
  char displayName[260];
  BROWSEINFOA browse = {};
  browse.hwndOwner = hwnd;
  browse.pszDisplayName = displayName;
  browse.lpszTitle = caption;
  LPITEMIDLIST selection = SHBrowseForFolderA(&browse);
  char path[MAX_PATH] = {0};
  if (selection) {
    SHGetPathFromIDListA(selection, path);
    CoTaskMemFree(selection);
  }
  if (path[0] == '\0') return;
  AcceptChosenFolder(path);
}

void qvWin32Dialog::AcceptChosenFolder(const char* path) {
  const int free = GetFreeSpaceKB(path);
  if (free < 0) return;
  freeKB = free;
  pathInvalid = false;
  ComposeTargetDir(path, job.gameName, targetDir);
  SetWindowTextA(pathEdit, targetDir);
  InvalidateRect(hwnd, nullptr, TRUE);
}

// Back to the default directory, with its space measured again and any
// earlier complaint about a typed path forgotten.
void qvWin32Dialog::RestoreDefaultDir() {
  snprintf(targetDir, sizeof targetDir, "%s", defaultDir);
  SetWindowTextA(pathEdit, defaultDir);
  const int free = GetFreeSpaceKB(defaultDir);
  freeKB = free < 0 ? 0 : free;
  pathInvalid = false;
  InvalidateRect(hwnd, nullptr, TRUE);
}
