#include "engine/install_job.h"

#include <process.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "engine/message_box.h"
#include "engine/server_address.h"
#include "engine/shell_integration.h"

namespace {

const int kDescriptorAttempts = 20;
const DWORD kRetryPauseMs = 500;

void ReadSetupText(const char* key, char (&value)[260], const char* path) {
  GetPrivateProfileStringA("setup", key, "", value, sizeof value, path);
}

}  // namespace

InstallJob::InstallJob() : window(nullptr), thread(nullptr), cancelRequested(false), requiredSpaceKb(0) {
  installDir[0] = '\0';
  errorText[0] = '\0';
  gameName[0] = productTitle[0] = agreementUrl[0] = '\0';
  uninstallerName[0] = publisher[0] = contact[0] = exeFileName[0] = '\0';
}

InstallJob::~InstallJob() {
  if (thread) CloseHandle(thread);
}

bool InstallJob::FetchSetupDescriptor() { return FetchSetupDescriptorFrom(kDownloadServer); }

bool InstallJob::FetchSetupDescriptorFrom(const char* serverAddress) {
  char url[512];
  snprintf(url, sizeof url, "%s/update/online_setup.txt", serverAddress);

  std::string path;
  const RetryOutcome outcome = DownloadWithRetries(url, nullptr, &path, kDescriptorAttempts);
  if (outcome == RetryOutcome::kCancelled) return false;
  if (outcome == RetryOutcome::kGaveUp) {
    char text[260];
    snprintf(text, sizeof text, "%s 错误  尝试 %d", url, kDescriptorAttempts);
    ShowEngineMessage(window, text, "退出", MB_OK);
    return false;
  }

  descriptorPath = path;
  const char* file = descriptorPath.c_str();
  ReadSetupText("gamename", gameName, file);
  ReadSetupText("exefilename", exeFileName, file);
  ReadSetupText("ProductTitle", productTitle, file);
  const int sizeMb = (int)GetPrivateProfileIntA("setup", "size", -1, file);
  requiredSpaceKb = sizeMb;
  if (sizeMb < 0) return false;
  // Sizes beyond what 32-bit KiB can count are held at the largest count.
  requiredSpaceKb = sizeMb > INT_MAX / 1024 ? INT_MAX : sizeMb * 1024;
  ReadSetupText("urlAgreement", agreementUrl, file);
  ReadSetupText("uninstname", uninstallerName, file);
  ReadSetupText("Publisher", publisher, file);
  ReadSetupText("Contact", contact, file);
  return true;
}

InstallJob::RetryOutcome InstallJob::DownloadWithRetries(const char* url, const char* localName,
                                                         std::string* localPath, int attempts) {
  for (int attempt = 1;; ++attempt) {
    if (DownloadFile(url, localName, localPath, attempt > 1) == 0) return RetryOutcome::kDownloaded;
    if (cancelRequested) return RetryOutcome::kCancelled;
    if (attempt == attempts) return RetryOutcome::kGaveUp;
    Sleep(kRetryPauseMs);
  }
}

void InstallJob::Start(HWND owner, const char* directory) {
  window = owner;
  cancelRequested = false;
  snprintf(installDir, 261, "%s", directory);
  CreateDirectoryPath(installDir);
  thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, InstallThreadProc, this, 0, nullptr));
}

unsigned __stdcall InstallThreadProc(void* job) {
  static_cast<InstallJob*>(job)->RunInstall();
  return 0;
}
