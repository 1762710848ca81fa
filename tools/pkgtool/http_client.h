// The HTTP requests of the archive tool: one GET at a time, sent with the
// installer's own header block, the body handed to a sink as it arrives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Receives a response body piece by piece.
class BodySink {
 public:
  virtual ~BodySink() = default;
  // False ends the transfer; the sink knows why.
  virtual bool Append(const char* data, size_t size) = 0;
};

struct HttpResponse {
  bool answered = false;  // a status line arrived
  int status = 0;
  bool hasContentLength = false;
  uint64_t contentLength = 0;
  std::string contentRange;  // the header's value, empty when there was none
  uint64_t bodyBytes = 0;    // handed to the sink
  bool stoppedBySink = false;
  // What went wrong: why there was no answer, or why its body broke off.
  // Empty when the body arrived whole (or the sink ended it).
  std::string error;
};

// Longest header value kept; a longer one is cut to this length.
constexpr size_t kMaxHeaderValue = 256;

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // GET `url` (http or https, redirections followed) with the installer's
  // header lines (InstallerHeaderLines).
  virtual HttpResponse Get(const std::string& url, uint64_t rangeStart, BodySink& sink) = 0;
};

// libcurl on POSIX hosts, WinINet on Windows. Null with `error` filled when
// the library cannot be set up.
std::unique_ptr<HttpClient> MakePlatformHttpClient(std::string* error);

// The header lines of every request the installer sends, the Range line last.
std::vector<std::string> InstallerHeaderLines(uint64_t rangeStart);
// A Content-Length value: decimal digits only (blanks around them allowed), at
// most 2^63 - 1.
bool ParseContentLength(const std::string& text, uint64_t* length);
