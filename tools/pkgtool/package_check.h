// What the archive tool says about an archive before a publisher ships it.
#pragma once

#include <string>
#include <vector>

#include "package/package_archive.h"

struct PackageReport {
  bool readable = false;  // loaded, decrypted and its directory read
  std::vector<RawPackageEntry> entries;
  uint32_t plaintextSize = 0;
  std::vector<std::string> problems;  // one plain sentence each
};

// Loads `archivePath` and checks that it can be read, every entry lies inside
// it and every entry will be written below the install folder.
PackageReport CheckPackage(const std::string& archivePath);
