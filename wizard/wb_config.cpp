// wbConfig.ini in the install directory.
#include <windows.h>

#include <cstdio>

#include "app/qv_win32_dialog.h"
#include "engine/server_address.h"

void qvWin32Dialog::WriteWbConfig() {
  char path[260];
  const int length = snprintf(path, sizeof path, "%s\\wbConfig.ini", targetDir);
  if (length < 0 || length >= (int)sizeof path) return;
  char number[16];
  snprintf(number, sizeof number, "%d", 1);
  WritePrivateProfileStringA("WBID", "ID", number, path);
  WritePrivateProfileStringA("WBURL", "URL", kWebSite, path);
  snprintf(number, sizeof number, "%d", 25);
  WritePrivateProfileStringA("Area", "AreaID", number, path);
}
