#include "tests/engine/test_servers.h"

#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "engine/message_box.h"
#include "tests/support/test_files.h"
#include "wizard/setup_messages.h"

namespace {

std::mutex g_boxLock;

int RecordBox(HWND owner, const char* text, const char* caption, UINT) {
  std::lock_guard<std::mutex> lock(g_boxLock);
  MessageBoxRecorder::boxes().push_back({owner, text, caption});
  return IDOK;
}

}  // namespace

bool LoadTestServers(TestServers* servers) {
  const std::string file = HostPathFromEnvironment("ZV_SERVERS_ENV");
  std::string text;
  if (file.empty() || !ReadTestFile(file, &text)) return false;
  for (const std::string& line : SplitLines(text)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "NGINX_URL") servers->nginxUrl = value;
    if (key == "FAULT_URL") servers->faultUrl = value;
    if (key == "REFUSED_URL") servers->refusedUrl = value;
    if (key == "HTTPS_URL") servers->httpsUrl = value;
    if (key == "TEST_CA") servers->testCa = WindowsPathOfHostPath(value);
    if (key == "SERVE_ROOT") servers->serveRoot = WindowsPathOfHostPath(value);
    if (key == "REQUEST_LOG") servers->requestLog = WindowsPathOfHostPath(value);
  }
  return !servers->nginxUrl.empty() && !servers->faultUrl.empty() && !servers->serveRoot.empty();
}

bool TrustTestCa(const TestServers& servers) {
  std::string pem;
  if (!ReadTestFile(servers.testCa, &pem)) return false;
  BYTE der[8192];
  DWORD length = sizeof der;
  if (!CryptStringToBinaryA(pem.c_str(), (DWORD)pem.size(), CRYPT_STRING_BASE64HEADER, der, &length, nullptr,
                            nullptr)) {
    return false;
  }
  return CertAddEncodedCertificateToSystemStoreA("Root", der, length) != FALSE;
}

bool Publish(const TestServers& servers, const std::string& relative, const std::string& bytes) {
  std::string path = servers.serveRoot;
  size_t start = 0;
  for (;;) {
    size_t slash = relative.find('\\', start);
    if (slash == std::string::npos) break;
    CreateDirectoryA((path + "\\" + relative.substr(0, slash)).c_str(), nullptr);
    start = slash + 1;
  }
  return WriteTestFile(path + "\\" + relative, bytes);
}

std::vector<std::vector<std::string>> RequestsFor(const TestServers& servers, const std::string& path) {
  std::vector<std::vector<std::string>> out;
  std::string text;
  if (!ReadTestFile(servers.requestLog, &text)) return out;
  std::vector<std::string>* current = nullptr;
  for (const std::string& line : SplitLines(text)) {
    if (line.compare(0, 4, "=== ") == 0) {
      current = nullptr;
      if (line.substr(4) == path) {
        out.emplace_back();
        current = &out.back();
      }
    } else if (current && !line.empty()) {
      current->push_back(line);
    }
  }
  return out;
}

std::string HeaderValue(const std::vector<std::string>& request, const std::string& name) {
  const std::string prefix = name + ": ";
  for (const std::string& line : request) {
    if (line.size() >= prefix.size() && _strnicmp(line.c_str(), prefix.c_str(), prefix.size()) == 0) {
      return line.substr(prefix.size());
    }
  }
  return "";
}

std::string TestBytes(size_t size, unsigned seed) {
  std::string out(size, '\0');
  unsigned x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out[i] = (char)(x >> 24);
  }
  return out;
}

std::vector<int> TakeProgress(HWND window) {
  std::vector<int> values;
  MSG msg;
  while (PeekMessageA(&msg, window, WM_SETUP_PROGRESS, WM_SETUP_PROGRESS, PM_REMOVE)) {
    values.push_back((int)msg.lParam);
  }
  return values;
}

ProgressWindow::ProgressWindow()
    : window_(CreateWindowExA(0, "STATIC", "progress", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}

ProgressWindow::~ProgressWindow() {
  if (window_) DestroyWindow(window_);
}

MessageBoxRecorder::MessageBoxRecorder() {
  boxes().clear();
  SetMessageBoxHook(RecordBox);
}

MessageBoxRecorder::~MessageBoxRecorder() { SetMessageBoxHook(nullptr); }

std::vector<RecordedBox>& MessageBoxRecorder::boxes() {
  static std::vector<RecordedBox> recorded;
  return recorded;
}
