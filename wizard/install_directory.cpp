#include "wizard/install_directory.h"

#include <windows.h>

#include <climits>
#include <cstdio>
#include <cstring>

namespace {
bool IsSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

bool PathEndsWithName(const char* path, const char* name) {
  if (!path || !name) return false;
  const size_t p = strlen(path);
  const size_t n = strlen(name);
  if (n >= p) return false;
  const size_t end = IsSeparator(path[p - 1]) ? p - 1 : p;
  if (n > end) return false;
  return memcmp(path + end - n, name, n) == 0;
}

bool ComposeTargetDir(const char* path, const char* gameName, char (&target)[260]) {
  char folder[520];
  const size_t length = strlen(path);
  if (length == 0 || length >= 512) return false;
  snprintf(folder, sizeof folder, "%s%s", path, IsSeparator(path[length - 1]) ? "" : "\\");
  const size_t folderLength = strlen(folder);
  if (!PathEndsWithName(folder, gameName)) {
    if (strlen(gameName) + folderLength + 1 >= 259) return false;
    snprintf(target, sizeof target, "%s%s\\", folder, gameName);
  } else {
    if (folderLength >= 259) return false;
    snprintf(target, sizeof target, "%s", folder);
  }
  return true;
}

int GetFreeSpaceKB(const char* path) {
  // An empty or one-character text names no drive.
  if (!path || strlen(path) < 2) return -1;
  char root[3] = {path[0], path[1], '\0'};
  ULARGE_INTEGER available;
  if (!GetDiskFreeSpaceExA(root, &available, nullptr, nullptr)) return -1;
  const unsigned long long kib = available.QuadPart >> 10;
  // 2 TiB or more does not fit a signed 32-bit count: show the largest.
  return kib > (unsigned long long)INT_MAX ? INT_MAX : (int)kib;
}

SpaceText FormatSpace(int kib) {
  if (kib / 1024 / 1024 > 0) return {kib / 1024 / 1024, "GB"};
  if (kib / 1024 > 0) return {kib / 1024, "MB"};
  return {kib, "KB"};
}
