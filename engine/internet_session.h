// The installer's WinINet session, shared with the archive tool's server check
// so that both ask a server the same way.
#pragma once

#include <windows.h>
#include <wininet.h>

// Flags of every URL the installer opens: always from the server, never cached.
const DWORD kInstallerUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;

// An internet handle closed when it goes.
class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~InternetHandle() { Close(); }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  void Close() {
    if (handle_) InternetCloseHandle(handle_);
    handle_ = nullptr;
  }
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// Opens a session the way every request of the installer does: an "Agent"
// name with the tick count, the system's proxy settings, and no proxy
// auto-detection unless a proxy is configured. Null on failure (GetLastError).
HINTERNET OpenInstallerSession();
