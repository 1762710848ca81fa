// The files of a publisher's source folder, as the archive tool collects them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SourceFile {
  std::string path;          // on-disk path
  std::string relativeName;  // below the source folder, backslash-separated
  uint64_t size = 0;
};

// Every regular file below `root`, sorted by relative name, leaving out the
// file `exclude` (the archive being written). False with a message on error.
bool ListSourceTree(const std::string& root, const std::string& exclude, std::vector<SourceFile>* files,
                    std::string* error);

// The last component of `path`, ignoring trailing separators.
std::string SourceTreeBaseName(const std::string& path);

// On POSIX hosts file names are UTF-8; archive names are GBK. Converts in place.
// Windows names are already in the ANSI code page and are kept.
bool ConvertNameToGbk(std::string* name, std::string* error);
// The reverse, for showing stored names on a terminal.
std::string GbkNameForDisplay(const std::string& name);
