// libFuzzer target over the whole of package extraction: the input is written
// as an archive into a fresh destination and unpacked there with the real
// POSIX system calls. Afterwards nothing may exist beside the destination and
// no symbolic link inside it. Every path the extraction hands to the system is
// checked on the way, so a path that leaves the destination aborts before it
// is created.
//
// Archives are encrypted, so blind byte mutation hardly ever gets past the
// decryption into the directory. The custom mutator below mostly decrypts the
// input, mutates the plaintext (sometimes by planting hostile names or edge
// offsets and sizes into an entry) and encrypts it again; now and then it
// builds a small well-formed archive from scratch; the rest of the time it
// mutates the raw bytes, which keeps bad lengths and headers covered.

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "package/aes.h"
#include "package/md5.h"
#include "package/package_archive.h"
#include "package/package_system.h"
#include "tools/pkgtool/package_writer.h"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

namespace {

// Per-process directory that holds one fresh root per input.
std::string g_base;
// The current input's destination, as handed to ExtractPackage.
std::string g_dest;

AesContext g_context;

[[noreturn]] void Fail(const char* what, const std::string& path) {
  fprintf(stderr, "extract_fuzzer: %s: %s\n", what, path.c_str());
  fflush(stderr);
  abort();
}

// The components of `path` read the way the POSIX system reads it: up to the
// first NUL, backslashes as '/', with "." dropped and ".." taking one back.
std::vector<std::string> Components(const std::string& path) {
  std::string text(path.c_str());
  for (char& c : text) {
    if (c == '\\') c = '/';
  }
  std::vector<std::string> parts;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find('/', at);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(at, end - at);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  return parts;
}

bool IsPrefix(const std::vector<std::string>& head, const std::vector<std::string>& whole) {
  if (head.size() > whole.size()) return false;
  for (size_t i = 0; i < head.size(); ++i) {
    if (head[i] != whole[i]) return false;
  }
  return true;
}

// True when `path` names the destination or something below it. A name whose
// tail is only separators ("top\/") comes out as the destination itself; that
// is a directory, so a file write there fails, and CheckTree makes sure it
// stays one.
bool WithinDestination(const std::string& path) {
  if (path.empty() || (path[0] != '/' && path[0] != '\\')) return false;  // relative: cwd, not dest
  return IsPrefix(Components(g_dest), Components(path));
}

// True when `path` is the destination or one of the directories above it,
// which all exist already, so creating them again changes nothing.
bool DestinationOrAbove(const std::string& path) {
  if (path.empty() || (path[0] != '/' && path[0] != '\\')) return false;
  return IsPrefix(Components(path), Components(g_dest));
}

// The real POSIX calls without progress or pauses, with every path checked
// before it reaches the file system.
class GuardedSystem : public PlatformPackageSystem {
 public:
  GuardedSystem() : PlatformPackageSystem(nullptr) {}

  void CreateDirectoryLevel(const std::string& path) override {
    if (!WithinDestination(path) && !DestinationOrAbove(path)) Fail("directory outside the destination", path);
    PlatformPackageSystem::CreateDirectoryLevel(path);
  }
  void ClearReadOnly(const std::string& path) override {
    if (!WithinDestination(path)) Fail("attributes changed outside the destination", path);
    PlatformPackageSystem::ClearReadOnly(path);
  }
  WriteResult WriteWholeFile(const std::string& path, const unsigned char* data, uint32_t size) override {
    if (!WithinDestination(path)) Fail("file written outside the destination", path);
    return PlatformPackageSystem::WriteWholeFile(path, data, size);
  }
  void PostProgress(int) override {}
  void Pause(int) override {}
};

// --- checking and removing the tree -----------------------------------------

int CheckEntry(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_SL || type == FTW_SLN) Fail("symbolic link inside the destination", path);
  if (type == FTW_DNR || type == FTW_NS) Fail("unreadable entry inside the destination", path);
  if (!S_ISREG(st->st_mode) && !S_ISDIR(st->st_mode)) Fail("device, pipe or socket inside the destination", path);
  return 0;
}

void CheckTree(const std::string& root) {
  DIR* dir = opendir(root.c_str());
  if (dir == nullptr) Fail("cannot list the root", root);
  bool sawDest = false;
  while (struct dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (name != "dest") Fail("entry created beside the destination", root + "/" + name);
    sawDest = true;
  }
  closedir(dir);
  struct stat st;
  if (!sawDest || lstat(g_dest.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    Fail("the destination is no longer a directory", g_dest);
  }
  if (nftw(g_dest.c_str(), CheckEntry, 32, FTW_PHYS) != 0) Fail("cannot walk the destination", g_dest);
}

int OpenUp(const char* path, const struct stat* st, int type, struct FTW*) {
  if (type == FTW_D) chmod(path, (st->st_mode & 07777) | S_IRWXU);
  return 0;
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  if (remove(path) != 0) Fail("cannot remove", path);
  return 0;
}

void RemoveTree(const std::string& root) {
  nftw(root.c_str(), OpenUp, 32, FTW_PHYS);
  if (nftw(root.c_str(), RemoveEntry, 32, FTW_PHYS | FTW_DEPTH) != 0) Fail("cannot remove the tree", root);
}

void RemoveBase() {
  if (!g_base.empty()) rmdir(g_base.c_str());
}

// --- cipher helpers for the mutator -----------------------------------------

void DecryptBlocks(unsigned char* data, size_t length) {
  for (size_t at = 0; at + 16 <= length; at += 16) AesDecryptBlock(&g_context, data + at, data + at);
}

void EncryptBlocks(unsigned char* data, size_t length) {
  for (size_t at = 0; at + 16 <= length; at += 16) AesEncryptBlock(&g_context, data + at, data + at);
}

uint32_t GetLe32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(unsigned char* p, uint32_t value) {
  p[0] = value & 0xff;
  p[1] = (value >> 8) & 0xff;
  p[2] = (value >> 16) & 0xff;
  p[3] = (value >> 24) & 0xff;
}

// Entry tails that try to leave the destination or name something odd. The
// first component in front of them is dropped by the extraction.
const char* const kHostileTails[] = {
    "\\..\\x",        "\\..\\..\\x",     "\\..",           "\\a\\..\\..\\x", "\\a\\..\\b",
    "\\/abs",         "\\//abs",         "\\/tmp/x",       "\\a/../../x",    "\\a/..",
    "\\.",            "\\.\\x",          "\\...\\x",       "\\. .\\x",       "\\ ..\\x",
    "\\.. \\x",       "\\..\x01\\x",     "\\C:\\x",        "\\C:x",          "\\a:b",
    "\\a::$DATA",     "\\CON",           "\\con.txt",      "\\NUL\\x",       "\\aux",
    "\\COM1",         "\\LPT9.log",      "\\a\x01",        "\\a\x7f",        "\\",
    "\\\\",           "\\\\\\..\\x",     "\\a\\",          "\\a\\\\b",       "\\p.pak",
    "\\P.PAK",        "\\a",             "\\a\\b",         "\\A\\B",         "\\dest",
    "\\..\\dest\\x",  "\\a/",            "/..\\..\\x",     "\\\xd6\xd0\xce\xc4.txt",
};

// Names put in front of a hostile tail: the usual top folder, none at all,
// and first components that look dangerous themselves.
const char* const kHostileHeads[] = {"top", "", "..", ".", "/", "C:", "top/..", "a\\b"};

// Plants a hostile name, or edge numbers, into one entry of `plain`.
void PlantEntry(unsigned char* plain, size_t length, std::minstd_rand& rng) {
  if (length < 4 + kPackageEntrySize) return;
  size_t fit = (length - 4) / kPackageEntrySize;
  int32_t count = int32_t(GetLe32(plain));
  size_t limit = count > 0 && size_t(count) < fit ? size_t(count) : fit;
  unsigned char* entry = plain + 4 + kPackageEntrySize * (rng() % limit);
  if (rng() % 2 == 0) {
    std::string name = kHostileHeads[rng() % (sizeof kHostileHeads / sizeof *kHostileHeads)];
    name += kHostileTails[rng() % (sizeof kHostileTails / sizeof *kHostileTails)];
    if (rng() % 4 == 0) name += kHostileTails[rng() % (sizeof kHostileTails / sizeof *kHostileTails)];
    name.resize(std::min<size_t>(name.size(), kPackageNameSize - 1));
    memset(entry, 0, kPackageNameSize);
    memcpy(entry, name.data(), name.size());
    if (rng() % 16 == 0) entry[kPackageNameSize - 1] = 'x';  // no NUL when the name fills the field
    return;
  }
  uint32_t size = uint32_t(length);
  const uint32_t edges[] = {0,        1,           size - 1,    size,        size + 1,    0x7fffffff,
                            0x80000000, 0xfffffff0, 0xffffffff, size - 16,   size / 2,    4};
  const size_t edgeCount = sizeof edges / sizeof *edges;
  if (rng() % 2 == 0) PutLe32(entry + kPackageNameSize, edges[rng() % edgeCount]);
  if (rng() % 2 == 0) PutLe32(entry + kPackageNameSize + 4, edges[rng() % edgeCount]);
}

// Makes a well-formed archive of one to four small files, some of them with a
// hostile name, for when the input has nothing worth mutating. Returns its
// length, or 0 when it does not fit in `maxSize`.
size_t SynthesizeArchive(uint8_t* data, size_t maxSize, std::minstd_rand& rng) {
  const size_t tailCount = sizeof kHostileTails / sizeof *kHostileTails;
  const size_t headCount = sizeof kHostileHeads / sizeof *kHostileHeads;
  std::vector<PackageInput> files(1 + rng() % 4);
  for (PackageInput& file : files) {
    file.name = rng() % 2 == 0 ? "top" : kHostileHeads[rng() % headCount];
    if (rng() % 2 == 0) {
      file.name += rng() % 2 == 0 ? "\\a.txt" : "\\Dir\\b.DAT";
    } else {
      file.name += kHostileTails[rng() % tailCount];
    }
    file.contents.assign(rng() % 40, char('a' + rng() % 26));
  }
  std::string archive = BuildPackage(files, rng() % 2 == 0 ? 0 : uint32_t(rng()));
  if (archive.size() > maxSize) return 0;
  memcpy(data, archive.data(), archive.size());
  return archive.size();
}

// Sets the header's directory length from the plaintext's entry count, the way
// a well-formed archive has it, or to an edge value.
void SetDirectoryLength(unsigned char* data, const unsigned char* plain, size_t plainLength,
                        std::minstd_rand& rng) {
  int32_t count = plainLength >= 4 ? int32_t(GetLe32(plain)) : 0;
  uint32_t value = 4 + kPackageEntrySize * uint32_t(count);
  switch (rng() % 6) {
    case 0: value = uint32_t(plainLength); break;
    case 1: value = uint32_t(plainLength) + 1; break;
    case 2: value = value - 1; break;
    case 3: value = rng() % 8; break;
    default: break;
  }
  PutLe32(data, value);
}

// Cuts or pads (with zeros) the input to 8 + 16k bytes within `maxSize`.
size_t SnapLength(uint8_t* data, size_t size, size_t maxSize, std::minstd_rand& rng) {
  size_t room = maxSize < kPackageHeaderSize ? 0 : (maxSize - kPackageHeaderSize) / 16 * 16;
  if (maxSize < kPackageHeaderSize) return size;
  if (size < kPackageHeaderSize) {
    memset(data + size, 0, kPackageHeaderSize - size);
    size = kPackageHeaderSize;
  }
  size_t payload = size - kPackageHeaderSize;
  size_t down = payload / 16 * 16;
  size_t up = (payload + 15) / 16 * 16;
  size_t target = (rng() % 2 == 0 || up > room) ? down : up;
  if (target > payload) memset(data + size, 0, target - payload);
  return kPackageHeaderSize + target;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = getenv("TMPDIR");
  std::string parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  char resolved[PATH_MAX];
  if (realpath(parent.c_str(), resolved) == nullptr) Fail("cannot resolve the temporary directory", parent);
  std::string pattern = std::string(resolved) + "/extract_fuzzer.XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) Fail("cannot create a directory under", resolved);
  g_base = pattern;
  atexit(RemoveBase);

  unsigned char key[16];
  DerivePackageKey(reinterpret_cast<const unsigned char*>(kPackagePassword), strlen(kPackagePassword), key);
  AesSetKey(&g_context, key);

  // The mutator's cipher must agree with the archive tool's, or every
  // re-encrypted input would be noise.
  std::string plain(32, '\0');
  for (size_t i = 0; i < plain.size(); ++i) plain[i] = char(i * 7 + 1);
  std::string archive = EncryptPackage(4, 0, plain, kPackagePassword);
  if (archive.size() != kPackageHeaderSize + plain.size()) Fail("unexpected archive size", "EncryptPackage");
  std::vector<unsigned char> mine(plain.begin(), plain.end());
  EncryptBlocks(mine.data(), mine.size());
  if (memcmp(mine.data(), archive.data() + kPackageHeaderSize, mine.size()) != 0) {
    Fail("mutator cipher differs from the archive tool's", "EncryptPackage");
  }
  DecryptBlocks(mine.data(), mine.size());
  if (memcmp(mine.data(), plain.data(), plain.size()) != 0) Fail("decryption does not invert encryption", "AES");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string root = g_base + "/run.XXXXXX";
  if (mkdtemp(&root[0]) == nullptr) Fail("cannot create a root under", g_base);
  g_dest = root + "/dest";
  if (mkdir(g_dest.c_str(), 0755) != 0) Fail("cannot create", g_dest);

  std::string archive = g_dest + "/p.pak";
  int fd = open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) Fail("cannot create", archive);
  size_t written = 0;
  while (written < size) {
    ssize_t n = write(fd, data + written, size - written);
    if (n <= 0) Fail("cannot write", archive);
    written += size_t(n);
  }
  close(fd);

  GuardedSystem system;
  ExtractPackage(system, "p.pak", g_dest);

  CheckTree(root);
  RemoveTree(root);
  return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
  std::minstd_rand rng(seed);
  unsigned mode = rng() % 16;

  if (mode < 2 || maxSize < kPackageHeaderSize + 16) {
    return LLVMFuzzerMutate(data, size, maxSize);
  }
  if (mode < 4) {
    size = LLVMFuzzerMutate(data, size, maxSize);
    return SnapLength(data, size, maxSize, rng);
  }

  if (mode == 15) {
    size_t made = SynthesizeArchive(data, maxSize, rng);
    if (made != 0) return made;
  }

  size = SnapLength(data, size, maxSize, rng);
  if (mode == 4) {
    // Header only; the ciphertext stays as it is.
    uint8_t header[kPackageHeaderSize];
    memcpy(header, data, sizeof header);
    size_t n = LLVMFuzzerMutate(header, sizeof header, sizeof header);
    if (n < sizeof header) memset(header + n, 0, sizeof header - n);
    memcpy(data, header, sizeof header);
    return size;
  }

  // Through the plaintext.
  size_t room = (maxSize - kPackageHeaderSize) / 16 * 16;
  size_t plainLength = size - kPackageHeaderSize;
  std::vector<unsigned char> plain(room, 0);
  memcpy(plain.data(), data + kPackageHeaderSize, plainLength);
  DecryptBlocks(plain.data(), plainLength);

  if (mode < 8 && plainLength > 0) {
    PlantEntry(plain.data(), plainLength, rng);
  } else {
    plainLength = LLVMFuzzerMutate(plain.data(), plainLength, room);
    size_t padded = (plainLength + 15) / 16 * 16;
    if (padded == 0) padded = 16;
    memset(plain.data() + plainLength, 0, padded - plainLength);
    plainLength = padded;
  }
  if (rng() % 4 == 0) SetDirectoryLength(data, plain.data(), plainLength, rng);

  EncryptBlocks(plain.data(), plainLength);
  memcpy(data + kPackageHeaderSize, plain.data(), plainLength);
  return kPackageHeaderSize + plainLength;
}
