// HttpClient over libcurl, for POSIX hosts.
#include <curl/curl.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>

#include "http_client.h"

namespace {

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

bool StartsWithName(const char* line, size_t length, const char* name) {
  const size_t nameLength = strlen(name);
  if (length <= nameLength || line[nameLength] != ':') return false;
  for (size_t i = 0; i < nameLength; ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    if (c != name[i]) return false;
  }
  return true;
}

// "name: value" -> value, trimmed and cut to kMaxHeaderValue.
std::string HeaderValue(const char* line, size_t length, size_t nameLength) {
  size_t begin = nameLength + 1, end = length;
  while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
  while (end > begin &&
         (line[end - 1] == '\r' || line[end - 1] == '\n' || line[end - 1] == ' ' || line[end - 1] == '\t')) {
    --end;
  }
  if (end - begin > kMaxHeaderValue) end = begin + kMaxHeaderValue;
  return std::string(line + begin, end - begin);
}

struct Transfer {
  BodySink* sink = nullptr;
  HttpResponse* response = nullptr;
};

size_t OnHeader(char* data, size_t size, size_t count, void* context) {
  Transfer& transfer = *static_cast<Transfer*>(context);
  HttpResponse& response = *transfer.response;
  const size_t length = size * count;
  if (length >= 5 && memcmp(data, "HTTP/", 5) == 0) {
    // A new response (after a redirection or a 100 Continue) starts afresh.
    response.hasContentLength = false;
    response.contentLength = 0;
    response.contentRange.clear();
  } else if (StartsWithName(data, length, "content-length")) {
    response.hasContentLength = ParseContentLength(HeaderValue(data, length, 14), &response.contentLength);
  } else if (StartsWithName(data, length, "content-range")) {
    response.contentRange = HeaderValue(data, length, 13);
  }
  return length;
}

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  Transfer& transfer = *static_cast<Transfer*>(context);
  const size_t length = size * count;
  if (!transfer.sink->Append(data, length)) {
    transfer.response->stoppedBySink = true;
    return 0;
  }
  transfer.response->bodyBytes += length;
  return length;
}

std::string DescribeFailure(CURL* easy, CURLcode code, const char* detail) {
  long osError = 0;
  curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
  if (code == CURLE_COULDNT_CONNECT && osError == ECONNREFUSED) return "connection refused";
  if (code == CURLE_COULDNT_RESOLVE_HOST) return "host name not found";
  if (code == CURLE_OPERATION_TIMEDOUT) return "timed out";
  std::string text = detail[0] ? detail : curl_easy_strerror(code);
  if (osError != 0) text += std::string(" (") + strerror((int)osError) + ")";
  return text;
}

class CurlHttpClient : public HttpClient {
 public:
  CurlHttpClient() = default;
  ~CurlHttpClient() override { curl_global_cleanup(); }
  CurlHttpClient(const CurlHttpClient&) = delete;
  CurlHttpClient& operator=(const CurlHttpClient&) = delete;

  HttpResponse Get(const std::string& url, uint64_t rangeStart, BodySink& sink) override {
    HttpResponse response;
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
      response.error = "libcurl could not start a transfer";
      return response;
    }
    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const std::string& line : InstallerHeaderLines(rangeStart)) {
      curl_slist* longer = curl_slist_append(headers.get(), line.c_str());
      if (!longer) {
        response.error = "out of memory";
        return response;
      }
      headers.release();
      headers.reset(longer);
    }
    // The installer names itself "Agent" and the milliseconds since start.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const std::string agent =
        "Agent" + std::to_string((long)std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    char detail[CURL_ERROR_SIZE] = "";
    Transfer transfer{&sink, &response};
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 15L);
    // A server that sends less than 1 KiB in half a minute is given up.
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1024L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 30L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);

    const CURLcode code = curl_easy_perform(handle);
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    response.answered = status > 0;
    response.status = (int)status;
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && response.stoppedBySink)) {
      response.error = DescribeFailure(handle, code, detail);
    }
    return response;
  }
};

}  // namespace

std::unique_ptr<HttpClient> MakePlatformHttpClient(std::string* error) {
  if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    *error = "libcurl could not be initialised";
    return nullptr;
  }
  return std::unique_ptr<HttpClient>(new CurlHttpClient());
}
