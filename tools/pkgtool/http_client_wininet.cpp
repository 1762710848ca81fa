// HttpClient over WinINet, opened and asked the way the installer does.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "engine/internet_session.h"
#include "http_client.h"

namespace {

const DWORD kReadChunk = 65536;
const DWORD kTimeoutMs = 30000;

std::string DescribeError(DWORD error) {
  const char* text = nullptr;
  switch (error) {
    case ERROR_INTERNET_CANNOT_CONNECT: text = "connection refused (cannot connect to the server)"; break;
    case ERROR_INTERNET_NAME_NOT_RESOLVED: text = "host name not found"; break;
    case ERROR_INTERNET_TIMEOUT: text = "timed out"; break;
    case ERROR_INTERNET_CONNECTION_RESET: text = "connection reset"; break;
    case ERROR_INTERNET_CONNECTION_ABORTED: text = "connection aborted"; break;
    case ERROR_INTERNET_INVALID_URL: text = "not a valid URL"; break;
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME: text = "not an http or https URL"; break;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: text = "the server's answer is not HTTP"; break;
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: text = "the server's certificate is not accepted"; break;
    default: break;
  }
  char line[160];
  if (text) {
    snprintf(line, sizeof line, "%s (WinINet error %lu)", text, (unsigned long)error);
  } else {
    snprintf(line, sizeof line, "WinINet error %lu", (unsigned long)error);
  }
  return line;
}

// A header of the response as text; empty when absent. A longer value than
// kMaxHeaderValue is reported cut.
std::string QueryHeader(HINTERNET request, DWORD which) {
  char value[kMaxHeaderValue + 1] = "";
  DWORD size = sizeof value;
  if (HttpQueryInfoA(request, which, value, &size, nullptr)) return std::string(value, strnlen(value, kMaxHeaderValue));
  if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) return std::string(kMaxHeaderValue, '?');
  return std::string();
}

class WinInetHttpClient : public HttpClient {
 public:
  HttpResponse Get(const std::string& url, uint64_t rangeStart, BodySink& sink) override {
    HttpResponse response;
    InternetHandle session(OpenInstallerSession());
    if (!session.get()) {
      response.error = DescribeError(GetLastError());
      return response;
    }
    DWORD timeout = kTimeoutMs;
    InternetSetOptionA(session.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionA(session.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);

    // The installer separates its header lines with blank lines; so does this.
    std::string headers;
    for (const std::string& line : InstallerHeaderLines(rangeStart)) headers += line + "\r\n\r\n";
    InternetHandle request(
        InternetOpenUrlA(session.get(), url.c_str(), headers.c_str(), (DWORD)headers.size(), kInstallerUrlFlags, 0));
    if (!request.get()) {
      response.error = DescribeError(GetLastError());
      return response;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
      response.error = "the answer has no status: " + DescribeError(GetLastError());
      return response;
    }
    response.answered = true;
    response.status = (int)status;
    const std::string length = QueryHeader(request.get(), HTTP_QUERY_CONTENT_LENGTH);
    response.hasContentLength = !length.empty() && ParseContentLength(length, &response.contentLength);
    response.contentRange = QueryHeader(request.get(), HTTP_QUERY_CONTENT_RANGE);

    std::unique_ptr<char[]> chunk(new char[kReadChunk]);
    for (;;) {
      DWORD got = 0;
      if (!InternetReadFile(request.get(), chunk.get(), kReadChunk, &got)) {
        response.error = DescribeError(GetLastError());
        return response;
      }
      if (got == 0) break;
      if (!sink.Append(chunk.get(), got)) {
        response.stoppedBySink = true;
        break;
      }
      response.bodyBytes += got;
    }
    return response;
  }
};

}  // namespace

std::unique_ptr<HttpClient> MakePlatformHttpClient(std::string*) {
  return std::unique_ptr<HttpClient>(new WinInetHttpClient());
}
