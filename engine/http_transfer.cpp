// HTTP transfers over WinINet: DownloadFile with resume, SendGetRequest.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/install_job.h"
#include "engine/internet_session.h"
#include "engine/shell_integration.h"
#include "wizard/setup_messages.h"

namespace {

const DWORD kReadChunk = 65536;

class StdioFile {
 public:
  ~StdioFile() { Close(); }
  bool Open(const char* path, const char* mode) {
    Close();
    file_ = fopen(path, mode);
    return file_ != nullptr;
  }
  void Close() {
    if (file_) fclose(file_);
    file_ = nullptr;
  }
  // Closes the file; false when buffered data could not be written.
  bool CloseChecked() {
    const bool ok = file_ && fclose(file_) == 0;
    file_ = nullptr;
    return ok;
  }
  FILE* get() const { return file_; }

 private:
  FILE* file_ = nullptr;
};

void PostProgress(HWND window, unsigned percent) {
  // Before the window exists (the descriptor fetch) progress goes nowhere.
  if (window) PostMessageA(window, WM_SETUP_PROGRESS, 0, (LPARAM)percent);
}

// The server's or the protocol layer's last response: its text, or else an
// error number (the one reported with it, or `systemError`).
struct LastResponse {
  char text[1000];
  int number;
};

LastResponse QueryLastResponse(DWORD systemError) {
  LastResponse last = {};
  DWORD length = 999;
  DWORD responseError = 0;
  const bool answered = InternetGetLastResponseInfoA(&responseError, last.text, &length) != FALSE;
  if (!answered) last.text[0] = '\0';
  last.number = (int)(answered && responseError != 0 ? responseError : systemError);
  return last;
}

// The text of a request that could not be sent.
void DescribeOpenUrlFailure(char* out, size_t size, const char* url, DWORD systemError) {
  const LastResponse last = QueryLastResponse(systemError);
  if (last.text[0] != '\0') {
    snprintf(out, size, "InternetOpenUrl 错误.\n网址:%s.\n错误信息:%s.", url, last.text);
  } else {
    snprintf(out, size, "InternetOpenUrl 错误.\n网址:%s.\n错误号:%d.", url, last.number);
  }
}

// Percentage of `done` in `total`, counted in KiB once the total passes 1 MiB;
// never above 100.
unsigned Percentage(unsigned long long done, unsigned long long total) {
  if (total > 1048576) {
    done >>= 10;
    total >>= 10;
  }
  const unsigned long long percent = done * 100 / total;
  return percent > 100 ? 100u : (unsigned)percent;
}

}  // namespace

int InstallJob::DownloadFile(const char* url, const char* localName, std::string* localPath, bool keepProgress) {
  if (!keepProgress) PostProgress(window, 0);
  memset(errorText, 0, sizeof errorText);

  char path[MAX_PATH];
  if (localName) {
    if (localName[0] == '\\') ++localName;
    const int length = snprintf(path, sizeof path, "%s\\%s", installDir, localName);
    if (length < 0 || length >= (int)sizeof path) {
      snprintf(errorText, sizeof errorText, "文件路径过长:%s", localName);
      return 1;
    }
  } else {
    char tempDir[MAX_PATH];
    const DWORD length = GetTempPathA(sizeof tempDir, tempDir);
    if (length == 0 || length > sizeof tempDir || GetTempFileNameA(tempDir, "qvz", 0, path) == 0) {
      snprintf(errorText, sizeof errorText, "获取临时文件路径出错");
      return 1;
    }
  }
  if (localPath) *localPath = path;

  InternetHandle session(OpenInstallerSession());
  if (!session.get()) {
    snprintf(errorText, sizeof errorText, "InternetOpen错误. %d.", (int)GetLastError());
    return 1;
  }

  StdioFile file;
  if (!file.Open(path, "a+b")) {
    // The folder may be missing: make it once and try again.
    char parent[MAX_PATH];
    snprintf(parent, sizeof parent, "%s", path);
    char* last = strrchr(parent, '\\');
    if (last) {
      *last = '\0';
      CreateDirectoryPath(parent);
    }
    if (!file.Open(path, "a+b")) {
      snprintf(errorText, sizeof errorText, "无法打开文件:%s", path);
      return 1;
    }
  }
  fseek(file.get(), 0, SEEK_END);
  const long fileLength = ftell(file.get());
  unsigned resumeOffset = fileLength > 0 ? (unsigned)fileLength : 0u;

  char range[260];
  snprintf(range, sizeof range, "Range: bytes=%d-\r\n\r\n", (int)resumeOffset);
  char headers[512];
  snprintf(headers, sizeof headers, "%s%s%s%s%s", "Accept: */*\r\n\r\n", "Pragma: no-cache\r\n\r\n",
           "Cache-Control: no-cache\r\n\r\n", "Connection:Keep-Alive\r\n\r\n", range);

  if (cancelRequested) return 1;

  InternetHandle request(InternetOpenUrlA(session.get(), url, headers, (DWORD)strlen(headers), kInstallerUrlFlags, 0));
  if (!request.get()) {
    const DWORD systemError = GetLastError();
    file.Close();
    session.Close();
    DescribeOpenUrlFailure(errorText, sizeof errorText, url, systemError);
    return 1;
  }
  if (cancelRequested) return 1;

  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
      status == 404) {
    return 1;
  }
  if (status == 416) {
    // The range starts at or past the end: the local file is complete.
    file.Close();
    request.Close();
    session.Close();
    PostProgress(window, 100);
    return 0;
  }
  if (status != 206) {
    // The body is the whole file.
    file.Close();
    if (!file.Open(path, "w+b")) {
      snprintf(errorText, sizeof errorText, "无法打开文件:%s", path);
      return 1;
    }
    resumeOffset = 0;
  }

  DWORD contentLength = 0;
  size = sizeof contentLength;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength, &size,
                      nullptr)) {
    contentLength = 0;
  }
  if (cancelRequested) return 1;

  std::unique_ptr<char[]> chunk(new char[kReadChunk]());
  char* const buffer = chunk.get();
  const unsigned long long total = (unsigned long long)contentLength + resumeOffset;
  unsigned long long done = resumeOffset;
  for (;;) {
    if (cancelRequested) return 1;
    DWORD got = 0;
    if (!InternetReadFile(request.get(), buffer, kReadChunk, &got)) {
      const DWORD systemError = GetLastError();
      file.Close();
      request.Close();
      session.Close();
      const LastResponse last = QueryLastResponse(systemError);
      if (last.text[0] != '\0') {
        snprintf(errorText, sizeof errorText, "InternetReadFile 错误.\n 错误信息:%s.", last.text);
      } else {
        snprintf(errorText, sizeof errorText, "InternetReadFile 错误.\n 错误号:%d.", last.number);
      }
      return 1;
    }
    if (got == 0) {
      // A body that ends before its announced length was cut off: the partial
      // file stays for the next attempt to resume.
      if (contentLength > 0 && done < total) {
        snprintf(errorText, sizeof errorText, "InternetReadFile 错误.\n 错误号:%d.", ERROR_INTERNET_CONNECTION_RESET);
        return 1;
      }
      break;
    }
    if (fwrite(buffer, 1, got, file.get()) != got) {
      snprintf(errorText, sizeof errorText, "写入文件出错:%s", path);
      return 1;
    }
    done += got;
    // Without a length there is nothing to measure against: the bar stays
    // until the body is complete.
    if (total > 0) {
      const unsigned percent = Percentage(done, total);
      PostProgress(window, percent);
      char trace[260];
      snprintf(trace, sizeof trace, "online_log cur progress %d\n", (int)percent);
      OutputDebugStringA(trace);
    }
  }
  if (!file.CloseChecked()) {
    snprintf(errorText, sizeof errorText, "写入文件出错:%s", path);
    return 1;
  }
  request.Close();
  session.Close();
  PostProgress(window, 100);
  return 0;
}

int SendGetRequest(const char* url) {
  char text[260];
  char line[300];
  InternetHandle session(OpenInstallerSession());
  if (!session.get()) {
    snprintf(text, sizeof text, "InternetOpen错误. %d.", (int)GetLastError());
    snprintf(line, sizeof line, "online_log %s", text);
    OutputDebugStringA(line);
    return 0;
  }
  InternetHandle request(InternetOpenUrlA(session.get(), url, "Accept: */*\r\n\r\n", (DWORD)strlen("Accept: */*\r\n\r\n"),
                                          kInstallerUrlFlags, 0));
  if (!request.get()) {
    const DWORD systemError = GetLastError();
    session.Close();
    DescribeOpenUrlFailure(text, sizeof text, url, systemError);
    snprintf(line, sizeof line, "online_log %s", text);
    OutputDebugStringA(line);
    return 0;
  }
  DWORD contentLength = 0;
  DWORD size = sizeof contentLength;
  if (!HttpQueryInfoA(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &contentLength, &size,
                      nullptr)) {
    snprintf(line, sizeof line, "online_log HttpQueryInfo %s", url);
    OutputDebugStringA(line);
  }
  return 0;
}
