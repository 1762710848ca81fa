// pkgtool: the publisher's tool for package archives.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "package/package_archive.h"
#include "package_check.h"
#include "package_writer.h"
#include "server_check.h"
#include "source_tree.h"

namespace {

const char kUsage[] =
    "usage: pkgtool <command> [arguments]\n"
    "\n"
    "  create <source-folder> <archive> [--top NAME] [--word N] [--raw-names]\n"
    "      archive every file below <source-folder>; entries are named\n"
    "      TOP\\relative\\path, TOP being the folder's own name unless --top is\n"
    "      given (the installer drops this first component). --word sets the\n"
    "      header's second word (default 0). Names are converted from UTF-8 to\n"
    "      GBK unless --raw-names is given (POSIX hosts only).\n"
    "  list <archive>\n"
    "      print each entry's name, offset and size\n"
    "  extract <archive> <destination-folder>\n"
    "      unpack with the installer's own extraction code\n"
    "  verify <archive>\n"
    "      check that the archive is readable and every entry is in bounds and\n"
    "      safe to write; exit status 1 when it is not\n"
    "  check <server-address>\n"
    "      ask the download server (http://host[:port], the address built into\n"
    "      the installer) everything the installer asks: the setup descriptor,\n"
    "      the update list, the package and resumed downloads; one line per\n"
    "      finding (ok, warn, FAIL); exit status 1 when an installation from\n"
    "      this server would fail\n";

int Usage(const char* problem) {
  if (problem) fprintf(stderr, "pkgtool: %s\n\n", problem);
  fputs(kUsage, problem ? stderr : stdout);
  return 2;
}

// Real file access without progress pauses; progress optionally shown.
class ToolPackageSystem : public PlatformPackageSystem {
 public:
  explicit ToolPackageSystem(bool showProgress) : PlatformPackageSystem(nullptr), showProgress_(showProgress) {}
  void PostProgress(int percent) override {
    if (showProgress_) fprintf(stderr, "\rextracting %3d%%", percent);
  }
  void Pause(int) override {}

 private:
  bool showProgress_;
};

void PrintProblems(const std::string& archive, const PackageReport& report) {
  for (const std::string& problem : report.problems) {
    fprintf(stderr, "pkgtool: %s: %s\n", archive.c_str(), GbkNameForDisplay(problem).c_str());
  }
}

int Create(int argc, char** argv) {
  if (argc < 2) return Usage("create needs a source folder and an archive name");
  CreateOptions options;
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--top" && i + 1 < argc) {
      options.topName = argv[++i];
    } else if (arg == "--word" && i + 1 < argc) {
      char* end = nullptr;
      errno = 0;
      unsigned long value = strtoul(argv[++i], &end, 0);
      if (errno != 0 || *end != '\0' || value > 0xffffffffUL) return Usage("--word needs a 32-bit number");
      options.secondWord = (uint32_t)value;
    } else if (arg == "--raw-names") {
      options.convertNamesToGbk = false;
    } else {
      return Usage(("unknown option " + arg).c_str());
    }
  }
  std::string error;
  uint32_t count = 0;
  if (!CreatePackageFromDirectory(argv[0], argv[1], options, &error, &count)) {
    remove(argv[1]);
    fprintf(stderr, "pkgtool: %s\n", error.c_str());
    return 1;
  }
  printf("%s: %u files\n", argv[1], count);
  return 0;
}

int List(int argc, char** argv) {
  if (argc != 1) return Usage("list needs one archive");
  PackageReport report = CheckPackage(argv[0]);
  if (!report.readable) {
    PrintProblems(argv[0], report);
    return 1;
  }
  for (const RawPackageEntry& raw : report.entries) {
    printf("%s\t%u\t%u\n", GbkNameForDisplay(raw.name).c_str(), raw.entry.offset, raw.entry.size);
  }
  return 0;
}

int Verify(int argc, char** argv) {
  if (argc != 1) return Usage("verify needs one archive");
  PackageReport report = CheckPackage(argv[0]);
  if (!report.problems.empty()) {
    PrintProblems(argv[0], report);
    fprintf(stderr, "pkgtool: %s: %zu problem(s)\n", argv[0], report.problems.size());
    return 1;
  }
  printf("%s: ok, %zu entries, %u bytes of plaintext\n", argv[0], report.entries.size(), report.plaintextSize);
  return 0;
}

int Extract(int argc, char** argv) {
  if (argc != 2) return Usage("extract needs an archive and a destination folder");
  ToolPackageSystem system(true);
  int result = ExtractPackageFile(system, argv[0], argv[1]);
  fprintf(stderr, "\n");
  if (result != 0) {
    PackageReport report = CheckPackage(argv[0]);
    if (report.readable) {
      fprintf(stderr, "pkgtool: extraction into %s failed: a file could not be written whole\n", argv[1]);
    } else {
      PrintProblems(argv[0], report);
    }
    return 1;
  }
  printf("%s: extracted into %s\n", argv[0], argv[1]);
  return 0;
}

int Check(int argc, char** argv) {
  if (argc != 1) return Usage("check needs one server address");
  const std::string address = argv[0];
  if (!IsServerAddress(address)) {
    return Usage("the server address is http:// or https:// and a host[:port], without a path or trailing slash");
  }
  std::string error;
  std::unique_ptr<HttpClient> client = MakePlatformHttpClient(&error);
  if (!client) {
    fprintf(stderr, "pkgtool: %s\n", error.c_str());
    return 1;
  }
  printf("checking %s as the installer will use it\n", address.c_str());
  fflush(stdout);
  const ServerCheckTotals totals = CheckServer(address, *client, [](const CheckLine& line) {
    const char* label = line.level == CheckLevel::kOk ? "ok  " : line.level == CheckLevel::kWarning ? "warn" : "FAIL";
    printf("%s %s: %s\n", label, line.topic, line.text.c_str());
    fflush(stdout);
  });
  if (totals.failures > 0) {
    printf("%s: %d failure(s), %d warning(s): an installation from this server fails\n", address.c_str(),
           totals.failures, totals.warnings);
    return 1;
  }
  printf("%s: the installer finds everything it needs, %d warning(s)\n", address.c_str(), totals.warnings);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage(nullptr);
  std::string command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") return Usage(nullptr), 0;
  if (command == "create") return Create(argc - 2, argv + 2);
  if (command == "list") return List(argc - 2, argv + 2);
  if (command == "extract") return Extract(argc - 2, argv + 2);
  if (command == "verify") return Verify(argc - 2, argv + 2);
  if (command == "check") return Check(argc - 2, argv + 2);
  return Usage(("unknown command " + command).c_str());
}
