#include "http_client.h"

#include <cinttypes>
#include <cstdio>

std::vector<std::string> InstallerHeaderLines(uint64_t rangeStart) {
  char range[64];
  snprintf(range, sizeof range, "Range: bytes=%" PRIu64 "-", rangeStart);
  return {"Accept: */*", "Pragma: no-cache", "Cache-Control: no-cache", "Connection:Keep-Alive", range};
}

bool ParseContentLength(const std::string& text, uint64_t* length) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  uint64_t value = 0;
  size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    if (value > (INT64_MAX - 9) / 10) return false;
    value = value * 10 + (uint64_t)(text[i] - '0');
  }
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (digits == 0 || i != text.size()) return false;
  *length = value;
  return true;
}
