// The rules of the install directory: the default, composing the target from
// a chosen folder, free space, and how space is shown.
#pragma once

#include <string>

// True when `path` (ignoring one trailing separator) ends with `name`, byte
// for byte; a plain suffix test, not a component test.
bool PathEndsWithName(const char* path, const char* name);

// The target directory for a chosen folder: the folder with a separator,
// followed by `gameName` and a backslash unless it already ends with it.
// False (and `target` unchanged) when the result would not fit 259 bytes.
bool ComposeTargetDir(const char* path, const char* gameName, char (&target)[260]);

// KiB available to the user on the drive named by the path's first two
// characters; -1 when it cannot be queried, INT_MAX when it does not fit.
int GetFreeSpaceKB(const char* path);

struct SpaceText {
  int number;
  const char* unit;  // "GB", "MB" or "KB"
};
SpaceText FormatSpace(int kib);
