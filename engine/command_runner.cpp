// Starting the installed game.
#include <windows.h>

#include <cstdio>

#include "engine/install_job.h"

bool InstallJob::RunCommand(const char* commandLine) {
  // A path with blanks must be quoted, or the system may start another
  // program named by its first words (C:\Program.exe).
  char quoted[600];
  const int length = commandLine[0] == '"' ? snprintf(quoted, sizeof quoted, "%s", commandLine)
                                           : snprintf(quoted, sizeof quoted, "\"%s\"", commandLine);
  UINT result = 0;
  if (length >= 0 && length < (int)sizeof quoted) {
    result = WinExec(quoted, SW_SHOW);
    if (result > 31) return true;
  } else {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    result = ERROR_PATH_NOT_FOUND;
  }
  const DWORD lastError = GetLastError();

  char message[261];
  switch (result) {
    case 0: snprintf(message, sizeof message, "系统内存不够."); break;
    case ERROR_FILE_NOT_FOUND: snprintf(message, sizeof message, "找不到%s文件.", commandLine); break;
    case ERROR_PATH_NOT_FOUND: snprintf(message, sizeof message, "路径错误."); break;
    case ERROR_BAD_FORMAT: snprintf(message, sizeof message, "%s文件不是有效运行程序.", commandLine); break;
    default: snprintf(message, sizeof message, "未知错误."); break;
  }
  snprintf(errorText, sizeof errorText, "%s 错误号:%d", message, (int)lastError);
  return false;
}
