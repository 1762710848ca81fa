#include "engine/shell_integration.h"

#include <direct.h>

#include <cstdio>
#include <cstring>

bool CreateDirectoryPath(const char* path) {
  char buffer[260];
  const int length = snprintf(buffer, sizeof buffer, "%s\\", path);
  if (length < 0 || length >= (int)sizeof buffer) return false;
  for (char* p = buffer; (p = strpbrk(p, "\\/")) != nullptr; ++p) {
    const char kept = p[1];
    p[1] = '\0';
    _mkdir(buffer);
    p[1] = kept;
  }
  return true;
}
