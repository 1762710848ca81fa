#include "package_check.h"

#include <cstdio>
#include <set>

#include "package/path_util.h"

namespace {

class QuietSystem : public PlatformPackageSystem {
 public:
  QuietSystem() : PlatformPackageSystem(nullptr) {}
  void PostProgress(int) override {}
  void Pause(int) override {}
};

const char* DescribeStatus(DirectoryStatus status) {
  switch (status) {
    case DirectoryStatus::kOk: return "ok";
    case DirectoryStatus::kNoEntries: return "the directory holds no entries";
    case DirectoryStatus::kTooShort: return "the directory length is too small for the entry count";
    case DirectoryStatus::kOutsidePlaintext: return "the directory or an entry reaches past the end of the archive";
    case DirectoryStatus::kNameWithoutNul: return "an entry name is not terminated within its 260 bytes";
  }
  return "unknown directory problem";
}

std::string EntryLabel(size_t i, const std::string& name) {
  char number[32];
  snprintf(number, sizeof number, "entry %zu", i);
  return std::string(number) + " \"" + name + "\"";
}

}  // namespace

PackageReport CheckPackage(const std::string& archivePath) {
  PackageReport report;
  QuietSystem system;
  uint32_t directoryLength = 0;
  PlaintextImage image = LoadPackage(kPackagePassword, system, archivePath, &directoryLength);
  if (!image) {
    if (!system.OpenArchive(archivePath)) {
      report.problems.push_back("cannot open " + archivePath);
    } else {
      report.problems.push_back("not a package archive: its length must be 8 plus a multiple of 16 "
                                "(at most 4 GiB - 1), and it must be readable whole");
    }
    return report;
  }
  report.plaintextSize = image.size;
  int32_t bad = -1;
  DirectoryStatus status = ReadPackageDirectory(directoryLength, image, &report.entries, &bad);
  if (status != DirectoryStatus::kOk) {
    std::string text = DescribeStatus(status);
    if (bad >= 0) text += " (entry " + std::to_string(bad) + ")";
    report.problems.push_back(text);
    return report;
  }
  report.readable = true;

  std::set<std::string> folded;
  for (size_t i = 0; i < report.entries.size(); ++i) {
    const std::string& name = report.entries[i].name;
    const std::string tail = TailFromFirstBackslash(name);
    if (tail.empty() || tail.back() == '\\') {
      report.problems.push_back(EntryLabel(i, name) + " names no file below its top folder; it is not written");
    } else if (!IsSafePackageTail(tail)) {
      report.problems.push_back(EntryLabel(i, name) + " would leave the install folder; it is not written");
    }
    if (!folded.insert(FoldPackageName(name)).second) {
      report.problems.push_back(EntryLabel(i, name) +
                                " differs from an earlier name only in letter case; only the later one is written");
    }
  }
  return report;
}
