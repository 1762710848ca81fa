// The servers that the transfer tests run against, as start_servers.sh left
// them: nginx (a publisher's real server), the fault server, a refused port.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TestServers {
  std::string nginxUrl;
  std::string faultUrl;
  std::string refusedUrl;
  std::string httpsUrl;    // nginx over TLS, certificate for localhost
  std::string testCa;      // Windows path of the PEM certificate that signed it
  std::string serveRoot;   // Windows path of the tree both servers serve
  std::string requestLog;  // Windows path of the fault server's request log
};

// Reads the file named by ZV_SERVERS_ENV; false when the servers are not up.
bool LoadTestServers(TestServers* servers);

// Adds the test run's certificate authority to the machine's trusted roots.
bool TrustTestCa(const TestServers& servers);

// Writes `bytes` at `relative` (backslash-separated) below the served tree.
bool Publish(const TestServers& servers, const std::string& relative, const std::string& bytes);

// The blocks of the request log whose path is `path`, oldest first: the
// request line and the header lines as the server received them.
std::vector<std::vector<std::string>> RequestsFor(const TestServers& servers, const std::string& path);

// The value of header `name` in one logged request, or "" when absent.
std::string HeaderValue(const std::vector<std::string>& request, const std::string& name);

// Deterministic pseudo-random bytes.
std::string TestBytes(size_t size, unsigned seed);

// WM_SETUP_PROGRESS values waiting in this thread's queue for `window`.
std::vector<int> TakeProgress(HWND window);

// A message-only window of this thread that receives a job's posts.
class ProgressWindow {
 public:
  ProgressWindow();
  ~ProgressWindow();
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// Records the message boxes of the engine instead of showing them.
struct RecordedBox {
  HWND owner;
  std::string text;
  std::string caption;
};
class MessageBoxRecorder {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  static std::vector<RecordedBox>& boxes();
};
