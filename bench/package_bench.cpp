// Native benchmark of the package core. Prints figures, asserts nothing.
//
//   1. AES-128 block decryption against OpenSSL's EVP aes-128-ecb with AES-NI
//      and SSSE3 masked off, which leaves OpenSSL's own table code.
//   2. ExtractPackage of a generated tree against `tar -xf` of the same tree,
//      with the peak resident memory of the extracting process.
//
// Usage: package_bench [--quick]
//   --quick  16 MiB of cipher data and a tree of 500 files / 16 MiB.

#include <fcntl.h>
#include <ftw.h>
#include <openssl/evp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "package/aes.h"
#include "package/package_archive.h"
#include "package/package_system.h"
#include "tools/pkgtool/package_writer.h"

namespace {

// Bit 57 (AES-NI) and bit 41 (SSSE3) cleared from OpenSSL's capability vector.
constexpr char kCapabilityMask[] = "~0x200020000000000";
constexpr int kCipherRuns = 3;
constexpr double kMiB = 1024.0 * 1024.0;

struct BenchSizes {
  size_t cipherBytes;
  uint64_t treeBytes;
  int fileCount;
};

double Seconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double MegabytesPerSecond(uint64_t bytes, double seconds) {
  return seconds > 0 ? static_cast<double>(bytes) / seconds / 1e6 : 0.0;
}

uint64_t SplitMix(uint64_t* state) {
  uint64_t z = (*state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void FillPseudoRandom(unsigned char* data, size_t size, uint64_t seed) {
  uint64_t state = seed;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word = SplitMix(&state);
    std::memcpy(data + i, &word, 8);
  }
  if (i < size) {
    uint64_t word = SplitMix(&state);
    std::memcpy(data + i, &word, size - i);
  }
}

// Keeps the optimiser from discarding work whose result is never read.
volatile unsigned char g_sink;

// ---------------------------------------------------------------------------
// Cipher

struct CipherContextFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

CipherContext MakeDecryptor(const unsigned char key[16]) {
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) return nullptr;
  if (EVP_DecryptInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key, nullptr) != 1) return nullptr;
  EVP_CIPHER_CTX_set_padding(context.get(), 0);
  return context;
}

// Decrypts `size` bytes in place; false when OpenSSL refuses.
bool OpenSslDecrypt(EVP_CIPHER_CTX* context, unsigned char* data, size_t size) {
  constexpr size_t kChunk = size_t{64} << 20;
  for (size_t done = 0; done < size;) {
    size_t length = std::min(kChunk, size - done);
    int written = 0;
    if (EVP_DecryptUpdate(context, data + done, &written, data + done, static_cast<int>(length)) != 1 ||
        static_cast<size_t>(written) != length) {
      return false;
    }
    done += length;
  }
  return true;
}

void OurDecrypt(const AesContext& context, unsigned char* data, size_t size) {
  for (size_t i = 0; i < size; i += 16) AesDecryptBlock(&context, data + i, data + i);
}

std::string ReferenceName() {
  const char* mask = std::getenv("OPENSSL_ia32cap");
  std::string name = "OpenSSL EVP aes-128-ecb, ";
  if (mask && std::strcmp(mask, kCapabilityMask) == 0) return name + "AES-NI+SSSE3 masked";
  if (!mask) return name + "capabilities NOT masked";
  return name + "OPENSSL_ia32cap=" + mask;
}

bool RunCipherBench(size_t size) {
  unsigned char key[16];
  FillPseudoRandom(key, sizeof key, 0x5EEDu);
  AesContext ours;
  if (AesSetKey(&ours, key) != 0) {
    std::fprintf(stderr, "error: AesSetKey failed\n");
    return false;
  }
  CipherContext reference = MakeDecryptor(key);
  if (!reference) {
    std::fprintf(stderr, "error: OpenSSL aes-128-ecb decryptor could not be set up\n");
    return false;
  }

  // Both must produce the same plaintext, or the comparison means nothing.
  {
    std::vector<unsigned char> a(64 * 1024), b;
    FillPseudoRandom(a.data(), a.size(), 0xC0FFEEu);
    b = a;
    OurDecrypt(ours, a.data(), a.size());
    CipherContext check = MakeDecryptor(key);
    if (!check || !OpenSslDecrypt(check.get(), b.data(), b.size())) {
      std::fprintf(stderr, "error: OpenSSL decryption failed\n");
      return false;
    }
    if (a != b) {
      std::fprintf(stderr, "error: AesDecryptBlock and OpenSSL disagree on the same ciphertext\n");
      return false;
    }
  }

  // Fresh memory is slow on the first write; fill it before any timing.
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
  FillPseudoRandom(buffer.get(), size, 0xABCDEFu);

  double bestOurs = 1e30;
  double bestReference = 1e30;
  for (int run = 0; run < kCipherRuns; ++run) {
    double start = Seconds();
    OurDecrypt(ours, buffer.get(), size);
    bestOurs = std::min(bestOurs, Seconds() - start);

    start = Seconds();
    if (!OpenSslDecrypt(reference.get(), buffer.get(), size)) {
      std::fprintf(stderr, "error: OpenSSL decryption failed\n");
      return false;
    }
    bestReference = std::min(bestReference, Seconds() - start);
  }
  g_sink = buffer[size / 2];

  double oursRate = MegabytesPerSecond(size, bestOurs);
  double referenceRate = MegabytesPerSecond(size, bestReference);
  std::printf("aes-128 decrypt  %.0f MiB, best of %d\n", size / kMiB, kCipherRuns);
  std::printf("aes-128 decrypt  ours: %.1f MB/s  reference (%s): %.1f MB/s  ratio %.2fx (goal >= 1.0x)\n",
              oursRate, ReferenceName().c_str(), referenceRate,
              referenceRate > 0 ? oursRate / referenceRate : 0.0);
  std::fflush(stdout);
  return true;
}

// ---------------------------------------------------------------------------
// Files and processes

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_;
};

bool WriteFile(const std::string& path, const unsigned char* data, size_t size) {
  FileDescriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
  if (!fd.valid()) return false;
  while (size > 0) {
    ssize_t n = write(fd.get(), data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool ReadFile(const std::string& path, std::vector<unsigned char>* contents) {
  contents->clear();
  FileDescriptor fd(open(path.c_str(), O_RDONLY));
  if (!fd.valid()) return false;
  unsigned char chunk[1 << 16];
  for (;;) {
    ssize_t n = read(fd.get(), chunk, sizeof chunk);
    if (n < 0) return false;
    if (n == 0) return true;
    contents->insert(contents->end(), chunk, chunk + n);
  }
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

// A directory made with mkdtemp, removed with everything in it when dropped.
class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/package_bench.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data())) path_ = name.data();
  }
  ~TemporaryDirectory() {
    if (!path_.empty()) nftw(path_.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS);
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct ChildResult {
  int exitCode = -1;  // -1 when the child did not exit normally
  double seconds = 0;
  long peakKiB = 0;
};

// Waits for `pid` and fills in its status and peak resident set.
void WaitChild(pid_t pid, double start, ChildResult* result) {
  int status = 0;
  struct rusage usage;
  std::memset(&usage, 0, sizeof usage);
  pid_t got;
  do {
    got = wait4(pid, &status, 0, &usage);
  } while (got < 0 && errno == EINTR);
  result->seconds = Seconds() - start;
  if (got == pid && WIFEXITED(status)) result->exitCode = WEXITSTATUS(status);
  result->peakKiB = usage.ru_maxrss;  // KiB on Linux
}

ChildResult RunCommand(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::fflush(nullptr);
  ChildResult result;
  double start = Seconds();
  pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return result;
  WaitChild(pid, start, &result);
  return result;
}

long CurrentResidentKiB() {
  FILE* file = std::fopen("/proc/self/statm", "r");
  if (!file) return 0;
  long total = 0, resident = 0;
  if (std::fscanf(file, "%ld %ld", &total, &resident) != 2) resident = 0;
  std::fclose(file);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// ---------------------------------------------------------------------------
// Extraction

// Extraction with no progress messages and no pauses.
class QuietPackageSystem : public PlatformPackageSystem {
 public:
  QuietPackageSystem() : PlatformPackageSystem(nullptr) {}
  void PostProgress(int) override {}
  void Pause(int) override {}
};

struct TreeFile {
  std::string relative;  // with '/' separators, below the tree root
  size_t size;
};

uint64_t ContentSeed(size_t index) { return 0x1234567ull + index * 0x10001ull; }

std::vector<TreeFile> PlanTree(const BenchSizes& sizes) {
  static const char* const kDirectories[] = {"",         "data",     "data/maps",   "data/models", "sound",
                                             "sound/fx", "textures", "textures/ui", "scripts"};
  static const char* const kExtensions[] = {".dat", ".png", ".ogg", ".txt", ".bin", ".lua"};
  constexpr size_t kDirectoryCount = sizeof kDirectories / sizeof kDirectories[0];
  constexpr size_t kExtensionCount = sizeof kExtensions / sizeof kExtensions[0];

  // Log-uniform weights over a 1:16384 range: many small files, a few large.
  uint64_t state = 42;
  std::vector<double> weights(sizes.fileCount);
  double total = 0;
  for (double& weight : weights) {
    double u = static_cast<double>(SplitMix(&state) >> 11) / 9007199254740992.0;
    weight = std::exp(u * std::log(16384.0));
    total += weight;
  }

  std::vector<TreeFile> files(sizes.fileCount);
  uint64_t assigned = 0;
  size_t largest = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    uint64_t size = static_cast<uint64_t>(weights[i] / total * static_cast<double>(sizes.treeBytes));
    files[i].size = static_cast<size_t>(std::max<uint64_t>(size, 1));
    assigned += files[i].size;
    if (files[i].size > files[largest].size) largest = i;
    char name[64];
    std::snprintf(name, sizeof name, "file%05zu%s", i, kExtensions[(i * 7) % kExtensionCount]);
    std::string directory = kDirectories[(i * 5) % kDirectoryCount];
    files[i].relative = directory.empty() ? name : directory + "/" + name;
  }
  files[largest].size = static_cast<size_t>(static_cast<int64_t>(files[largest].size) +
                                            static_cast<int64_t>(sizes.treeBytes) -
                                            static_cast<int64_t>(assigned));
  return files;
}

bool WriteTree(const std::string& root, const std::vector<TreeFile>& files) {
  static const char* const kCreate[] = {"data",  "data/maps", "data/models", "sound",  "sound/fx",
                                        "textures", "textures/ui", "scripts"};
  if (mkdir(root.c_str(), 0755) != 0) return false;
  for (const char* directory : kCreate) {
    if (mkdir((root + "/" + directory).c_str(), 0755) != 0) return false;
  }
  size_t largest = 0;
  for (const TreeFile& file : files) largest = std::max(largest, file.size);
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[largest]);
  for (size_t i = 0; i < files.size(); ++i) {
    FillPseudoRandom(buffer.get(), files[i].size, ContentSeed(i));
    if (!WriteFile(root + "/" + files[i].relative, buffer.get(), files[i].size)) {
      std::fprintf(stderr, "error: cannot write %s/%s\n", root.c_str(), files[i].relative.c_str());
      return false;
    }
  }
  return true;
}

// Every file must exist with its size; a sample is compared byte for byte.
bool CheckTree(const char* what, const std::string& root, const std::vector<TreeFile>& files) {
  size_t step = std::max<size_t>(1, files.size() / 100);
  std::vector<unsigned char> actual, expected;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string path = root + "/" + files[i].relative;
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
      std::fprintf(stderr, "error: %s: %s is missing\n", what, path.c_str());
      return false;
    }
    if (static_cast<uint64_t>(info.st_size) != files[i].size) {
      std::fprintf(stderr, "error: %s: %s has %lld bytes, expected %zu\n", what, path.c_str(),
                   static_cast<long long>(info.st_size), files[i].size);
      return false;
    }
    if (i % step != 0 && i + 1 != files.size()) continue;
    if (!ReadFile(path, &actual)) {
      std::fprintf(stderr, "error: %s: cannot read %s\n", what, path.c_str());
      return false;
    }
    expected.resize(files[i].size);
    FillPseudoRandom(expected.data(), expected.size(), ContentSeed(i));
    if (actual != expected) {
      std::fprintf(stderr, "error: %s: %s differs from the source\n", what, path.c_str());
      return false;
    }
  }
  return true;
}

long FileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : -1;
}

bool RunExtractionBench(const BenchSizes& sizes) {
  TemporaryDirectory temp;
  if (temp.path().empty()) {
    std::fprintf(stderr, "error: cannot create a temporary directory\n");
    return false;
  }
  const std::string source = temp.path() + "/tree";
  const std::string tarFile = temp.path() + "/tree.tar";
  const std::string tarOut = temp.path() + "/out_tar";
  const std::string packageOut = temp.path() + "/out_package";
  const std::string archiveName = "game.pkg";
  const std::string archivePath = packageOut + "/" + archiveName;

  std::vector<TreeFile> files = PlanTree(sizes);
  double start = Seconds();
  if (!WriteTree(source, files)) return false;
  double treeSeconds = Seconds() - start;

  // The tar holds the tree's contents at its top, as the package extracts them.
  ChildResult tarCreate = RunCommand({"tar", "-cf", tarFile, "-C", source, "."});
  if (tarCreate.exitCode != 0) {
    std::fprintf(stderr, "error: tar -cf failed\n");
    return false;
  }

  // The installer finds the archive inside the destination directory.
  if (mkdir(packageOut.c_str(), 0755) != 0 || mkdir(tarOut.c_str(), 0755) != 0) {
    std::fprintf(stderr, "error: cannot create the output directories\n");
    return false;
  }
  CreateOptions options;
  options.topName = "tree";
  std::string error;
  uint32_t archived = 0;
  start = Seconds();
  if (!CreatePackageFromDirectory(source, archivePath, options, &error, &archived)) {
    std::fprintf(stderr, "error: CreatePackageFromDirectory: %s\n", error.c_str());
    return false;
  }
  double buildSeconds = Seconds() - start;
  if (archived != files.size()) {
    std::fprintf(stderr, "error: the archive holds %u files, expected %zu\n", archived, files.size());
    return false;
  }
  long archiveBytes = FileSize(archivePath);

  std::printf("extract  tree %zu files, %.1f MiB (written in %.2f s); archive %.1f MiB (built in %.2f s)\n",
              files.size(), sizes.treeBytes / kMiB, treeSeconds, archiveBytes / kMiB, buildSeconds);
  std::fflush(stdout);

  // Settle dirty pages so neither timed run pays for the other's writes.
  sync();
  ChildResult tar = RunCommand({"tar", "-xf", tarFile, "-C", tarOut});
  if (tar.exitCode != 0) {
    std::fprintf(stderr, "error: tar -xf failed\n");
    return false;
  }
  sync();

  long baselineKiB = CurrentResidentKiB();
  std::fflush(nullptr);
  ChildResult ours;
  start = Seconds();
  pid_t pid = fork();
  if (pid < 0) {
    std::fprintf(stderr, "error: fork failed\n");
    return false;
  }
  if (pid == 0) {
    QuietPackageSystem system;
    _exit(ExtractPackage(system, archiveName, packageOut));
  }
  WaitChild(pid, start, &ours);
  if (ours.exitCode != 0) {
    std::fprintf(stderr, "error: ExtractPackage returned %d\n", ours.exitCode);
    return false;
  }
  if (!CheckTree("ExtractPackage", packageOut, files) || !CheckTree("tar -xf", tarOut, files)) return false;

  double oursRate = MegabytesPerSecond(sizes.treeBytes, ours.seconds);
  double tarRate = MegabytesPerSecond(sizes.treeBytes, tar.seconds);
  std::printf("extract  ours (ExtractPackage, pauses 0): %.1f MB/s (%.2f s)  reference (tar -xf): %.1f MB/s "
              "(%.2f s)  ratio %.2fx\n",
              oursRate, ours.seconds, tarRate, tar.seconds, tarRate > 0 ? oursRate / tarRate : 0.0);
  double peak = ours.peakKiB / 1024.0;
  double limit = archiveBytes / kMiB + 16.0;
  std::printf("extract  peak RSS %.1f MiB  archive %.1f MiB  goal <= archive + 16 MiB = %.1f MiB: %s "
              "(forked at %.1f MiB; tar peak %.1f MiB)\n",
              peak, archiveBytes / kMiB, limit, peak <= limit ? "met" : "NOT met", baselineKiB / 1024.0,
              tar.peakKiB / 1024.0);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // libcrypto reads the capability mask while it is loaded, before main; set
  // it and start again when it is missing.
  if (!std::getenv("OPENSSL_ia32cap")) {
    setenv("OPENSSL_ia32cap", kCapabilityMask, 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "warning: re-exec failed (%s); OpenSSL runs unmasked\n", std::strerror(errno));
    unsetenv("OPENSSL_ia32cap");
  }

  BenchSizes sizes{size_t{256} << 20, uint64_t{256} << 20, 5000};
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      sizes = BenchSizes{size_t{16} << 20, uint64_t{16} << 20, 500};
    } else {
      std::fprintf(stderr, "usage: %s [--quick]\n", argv[0]);
      return 2;
    }
  }

  if (!RunCipherBench(sizes.cipherBytes)) return 1;
  if (!RunExtractionBench(sizes)) return 1;
  return 0;
}
