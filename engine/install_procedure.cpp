// The install procedure run by the worker thread: the update list, the
// download of its entry, and for "DEC" the unpacking and the registration.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "engine/install_job.h"
#include "engine/message_box.h"
#include "engine/shell_integration.h"
#include "package/package_archive.h"
#include "package/path_util.h"
#include "wizard/setup_messages.h"

namespace {

const int ACTION_COMMAND = 1;
const int ACTION_DOWNLOAD = 2;
const int kListAttempts = 20;
const int kFileAttempts = 100;

const char kParseError[] = "解析更新列表文件错误.";

template <size_t N, typename... Args>
bool Compose(char (&out)[N], const char* format, Args... args) {
  const int length = snprintf(out, N, format, args...);
  return length >= 0 && length < (int)N;
}

}  // namespace

void InstallJob::RunInstall() {
  auto post = [this](UINT message, int value) { PostMessageA(window, message, 0, (LPARAM)value); };
  auto fail = [&](const char* text) {
    if (text != errorText) snprintf(errorText, sizeof errorText, "%s", text);
    ShowEngineMessage(window, errorText[0] ? errorText : "未知错误，下载失败", "错误", MB_OK);
    post(WM_SETUP_STATE, 0);
  };
  auto cancelled = [&] { post(WM_SETUP_STATE, 0); };

  SetCurrentDirectoryA(installDir);
  post(WM_SETUP_STATE, 2);

  char listUrl[999];
  GetPrivateProfileStringA("config", "1.0", "", listUrl, sizeof listUrl, descriptorPath.c_str());
  if (listUrl[0] == '\0') {
    GetPrivateProfileStringA("config", "other", "", listUrl, sizeof listUrl, descriptorPath.c_str());
  }
  if (listUrl[0] == '\0') return fail("从文件中,获取版本对应的更新URL错误.");

  post(WM_SETUP_STATE, 2);
  std::string listPath;
  switch (DownloadWithRetries(listUrl, nullptr, &listPath, kListAttempts)) {
    case RetryOutcome::kDownloaded:
      break;
    case RetryOutcome::kCancelled:
      return cancelled();
    case RetryOutcome::kGaveUp:
      snprintf(errorText, sizeof errorText, "下载 %s 失败 尝试 %d", listUrl, kListAttempts);
      return fail(errorText);
  }

  char section[20];
  snprintf(section, sizeof section, "list%d", 0);
  const int action = (int)GetPrivateProfileIntA(section, "action", -1, listPath.c_str());
  if (action == 0) {
    post(WM_SETUP_STATE, 6);
    return;
  }
  if (cancelRequested) return cancelled();
  if (action == -1) return fail(kParseError);

  char srcfile[260], destfile[260], cmd[260];
  GetPrivateProfileStringA(section, "srcfile", "", srcfile, sizeof srcfile, listPath.c_str());
  GetPrivateProfileStringA(section, "destfile", "", destfile, sizeof destfile, listPath.c_str());
  GetPrivateProfileStringA(section, "cmd", "", cmd, sizeof cmd, listPath.c_str());
  if ((action & ACTION_COMMAND) && cmd[0] == '\0') return fail("解析更新列表文件错误,动作有命令但命令为空.");
  if ((action & ACTION_DOWNLOAD) && (srcfile[0] == '\0' || destfile[0] == '\0')) {
    return fail("解析更新列表文件错误,动作为下载文件但文件路径为空.");
  }
  // Whatever the list names is written or unpacked below the install directory only.
  if ((action & (ACTION_DOWNLOAD | ACTION_COMMAND)) && destfile[0] != '\0' && !IsSafeDestinationFile(destfile)) {
    return fail(kParseError);
  }

  if (action & ACTION_DOWNLOAD) {
    post(WM_SETUP_STATE, 4);
    std::string localPath;
    switch (DownloadWithRetries(srcfile, destfile, &localPath, kFileAttempts)) {
      case RetryOutcome::kDownloaded:
        break;
      case RetryOutcome::kCancelled:
        return cancelled();
      case RetryOutcome::kGaveUp:
        snprintf(errorText, sizeof errorText, "下载 %s 失败，请重新下载 尝试 %d", srcfile, kFileAttempts);
        return fail(errorText);
    }
  }

  if (!(action & ACTION_COMMAND)) {
    post(WM_SETUP_STATE, 6);
    return;
  }

  post(WM_SETUP_STATE, 6);
  post(WM_SETUP_PROGRESS, 0);
  if (strcmp(cmd, "DEC") != 0) return fail("未知的命令参数");

  // A running game is asked to close before its files are replaced.
  if (productTitle[0] != '\0') {
    if (HWND game = FindWindowA(nullptr, productTitle)) {
      DWORD_PTR ignored = 0;
      SendMessageTimeoutA(game, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, 30000, &ignored);
    }
  }
  const int unpacked = ExtractPackage(static_cast<PackageWindow>(window), destfile, installDir);
  DeleteFileA(JoinPath(installDir, destfile).c_str());
  if (unpacked != 0) {
    ShowEngineMessage(window, "解压文件失败", "错误", MB_OK);
    post(WM_SETUP_STATE, 0);
    return;
  }

  char exePath[512], uninstallerPath[512], uninstallFilePath[512];
  if (!Compose(exePath, "%s%s", installDir, exeFileName) ||
      !Compose(uninstallerPath, "%suninstall\\%s", installDir, uninstallerName) ||
      !Compose(uninstallFilePath, "%suninstall\\uninstall.ini", installDir)) {
    return fail("安装路径过长.");
  }

  RegisterUninstall(gameName, gameName, uninstallerPath, uninstallFilePath, publisher, contact);

  char shortcutName[260];
  snprintf(shortcutName, sizeof shortcutName, "%s", exeFileName);
  if (char* dot = strrchr(shortcutName, '.')) *dot = '\0';
  char groupLink[260], groupUninstallLink[260];
  const bool groupNamesFit = Compose(groupLink, "%s\\%s", gameName, shortcutName) &&
                             Compose(groupUninstallLink, "%s\\%s卸载", gameName, shortcutName);

  if (shortcutName[0] != '\0') {
    DeleteShortcut(shortcutName, kShortcutDesktop, false);
    CreateShortcut(exePath, shortcutName, kShortcutSecond, false);
  }
  // Without a game name there is no program group: never delete or create
  // anything in the Programs folders themselves.
  if (gameName[0] != '\0' && groupNamesFit) {
    DeleteShortcut(groupLink, kShortcutPrograms, false);
    DeleteShortcut(groupUninstallLink, kShortcutPrograms, false);
    DeleteShortcut(gameName, kShortcutPrograms, true);
    DeleteShortcut(gameName, kShortcutSecond, true);
    CreateShortcut(exePath, gameName, kShortcutPrograms, true);
    if (shortcutName[0] != '\0') {
      CreateShortcut(exePath, groupLink, kShortcutPrograms, false);
      CreateShortcut(uninstallerPath, groupUninstallLink, kShortcutPrograms, false);
    }
  }

  char onlineType[16];
  snprintf(onlineType, sizeof onlineType, "%d", 1);
  char uninstallDir[512];
  if (Compose(uninstallDir, "%suninstall", installDir)) CreateDirectoryPath(uninstallDir);
  WritePrivateProfileStringA("config", "setupdir", installDir, uninstallFilePath);
  WritePrivateProfileStringA("config", "gamename", gameName, uninstallFilePath);
  WritePrivateProfileStringA("config", "shortcutname", shortcutName, uninstallFilePath);
  WritePrivateProfileStringA("config", "ProductTitle", productTitle, uninstallFilePath);
  WritePrivateProfileStringA("config", "OnlineType", onlineType, uninstallFilePath);

  if (!RunCommand(exePath)) return fail(errorText);
  post(WM_SETUP_STATE, 7);
  post(WM_SETUP_STATE, 6);
}
