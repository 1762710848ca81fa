// The install job: the one object through which the wizard window drives an
// installation. It fetches the setup descriptor, runs the install procedure on
// a worker thread, and transfers files over HTTP.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

class InstallJob {
 public:
  InstallJob();
  ~InstallJob();
  InstallJob(const InstallJob&) = delete;
  InstallJob& operator=(const InstallJob&) = delete;

  // Downloads the setup descriptor from the built-in download server (up to
  // 20 attempts, 500 ms apart) and reads its [setup] values. False when it
  // cannot be had, or its "size" is absent or negative.
  bool FetchSetupDescriptor();
  // The same from another server address (scheme and host, no trailing slash).
  bool FetchSetupDescriptorFrom(const char* serverAddress);

  // Records the window and the install directory, creates the directory and
  // starts the worker thread. Returns at once.
  void Start(HWND owner, const char* directory);

  // Fetches `url` into `localName` below installDir (resuming a partial file),
  // or into a new temporary file when `localName` is null. 0 when the local
  // file is complete, 1 on failure or cancellation; `localPath` receives the
  // local file's full path whenever one was chosen.
  int DownloadFile(const char* url, const char* localName, std::string* localPath, bool keepProgress);

  // Up to `attempts` calls of DownloadFile, 500 ms apart, the first showing
  // progress from 0 and the others keeping it.
  enum class RetryOutcome { kDownloaded, kCancelled, kGaveUp };
  RetryOutcome DownloadWithRetries(const char* url, const char* localName, std::string* localPath, int attempts);

  // The install procedure, run by the worker thread.
  void RunInstall();

  // Starts the program at `commandLine` (a path; quoted here when it is not).
  // False with errorText filled when the system refuses it.
  bool RunCommand(const char* commandLine);

  HWND window;
  HANDLE thread;
  char installDir[522];
  char errorText[261];
  std::atomic<bool> cancelRequested;
  char gameName[260];
  char productTitle[260];
  int requiredSpaceKb;
  char agreementUrl[260];
  char uninstallerName[260];
  char publisher[260];
  char contact[260];
  char exeFileName[260];
  std::string descriptorPath;
};

// Worker thread entry: runs the job's install procedure.
unsigned __stdcall InstallThreadProc(void* job);

// One GET request whose answer is not read; failures go to the debugger output.
int SendGetRequest(const char* url);
