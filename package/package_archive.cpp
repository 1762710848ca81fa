#include "package_archive.h"

#include <cstring>
#include <new>

#include "aes.h"
#include "md5.h"
#include "path_util.h"

const char kPackagePassword[] = "907153";

namespace {

uint32_t ReadLittleEndian32(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// Remembers the last posted percentage so that a value goes out only when it changes.
class ProgressPoster {
 public:
  ProgressPoster(PackageSystem& system, int last) : system_(system), last_(last) {}
  void PostIfChanged(int value, int pauseMs) {
    if (value == last_) return;
    last_ = value;
    system_.PostProgress(value);
    system_.Pause(pauseMs);
  }
  void PostAlways(int value) { system_.PostProgress(value); }

 private:
  PackageSystem& system_;
  int last_;
};

// Percentage of `done` out of `total`, by whole KiB when the total holds at least one.
int PercentOf(uint32_t done, uint32_t total) {
  uint32_t totalKb = total / 1024;
  if (totalKb > 0) return (int)(((uint64_t)(done / 1024) * 100) / totalKb);
  return (int)(((uint64_t)done * 100) / total);
}

bool IsReservedDeviceName(const std::string& component) {
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::string upper;
  for (char c : base) upper += (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* name : kNames) {
    if (upper == name) return true;
  }
  if (upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
      upper[3] >= '0' && upper[3] <= '9') {
    return true;
  }
  return false;
}

}  // namespace

PlaintextImage LoadPackage(const char* password, PackageSystem& system, const std::string& archivePath,
                           uint32_t* directoryLength) {
  PlaintextImage image;
  std::unique_ptr<PackageFile> file = system.OpenArchive(archivePath);
  if (!file) return image;

  uint32_t fileLength = 0;
  if (!file->Size(&fileLength)) return image;

  unsigned char header[kPackageHeaderSize] = {0};
  uint32_t got = 0;
  if (fileLength >= kPackageHeaderSize) {
    if (!file->Read(header, kPackageHeaderSize, &got) || got != kPackageHeaderSize) memset(header, 0, sizeof header);
  }

  if (fileLength < kPackageHeaderSize) return image;
  const uint32_t payload = fileLength - kPackageHeaderSize;
  if (payload % 16 != 0) return image;

  std::unique_ptr<unsigned char[]> bytes(new (std::nothrow) unsigned char[payload == 0 ? 1 : payload]);
  if (!bytes) return image;

  ProgressPoster progress(system, 25);
  uint32_t received = 0;
  while (received < payload) {
    uint32_t n = 0;
    if (!file->Read(bytes.get() + received, payload - received, &n) || n == 0) break;
    received += n;
    progress.PostIfChanged(PercentOf(received, payload) / 4, 20);
  }
  // An image that is not whole must not be decrypted and unpacked.
  if (received != payload) return image;
  progress.PostAlways(25);

  unsigned char key[16];
  DerivePackageKey(reinterpret_cast<const unsigned char*>(password), strlen(password), key);
  AesContext context;
  AesSetKey(&context, key);
  for (uint32_t offset = 0; offset < payload; offset += 16) {
    AesDecryptBlock(&context, bytes.get() + offset, bytes.get() + offset);
    progress.PostIfChanged(25 + PercentOf(offset, payload) / 4, 20);
  }
  progress.PostAlways(50);

  *directoryLength = ReadLittleEndian32(header);
  image.bytes = std::move(bytes);
  image.size = payload;
  return image;
}

DirectoryStatus ReadPackageDirectory(uint32_t directoryLength, const PlaintextImage& plaintext,
                                     std::vector<RawPackageEntry>* entries, int32_t* badEntry) {
  entries->clear();
  if (badEntry) *badEntry = -1;
  if (!plaintext) return DirectoryStatus::kNoEntries;
  // The directory must lie inside the plaintext before any of it is read.
  if (directoryLength > plaintext.size) return DirectoryStatus::kOutsidePlaintext;
  if (directoryLength < 4) return DirectoryStatus::kNoEntries;

  const unsigned char* base = plaintext.bytes.get();
  const int32_t count = (int32_t)ReadLittleEndian32(base);
  if (count <= 0) return DirectoryStatus::kNoEntries;
  if ((uint64_t)directoryLength - 4 < (uint64_t)kPackageEntrySize * (uint64_t)count) {
    return DirectoryStatus::kTooShort;
  }

  std::vector<RawPackageEntry> result;
  result.reserve((size_t)count);
  for (int32_t i = 0; i < count; ++i) {
    const unsigned char* field = base + 4 + (size_t)kPackageEntrySize * (size_t)i;
    const void* nul = memchr(field, 0, kPackageNameSize);
    if (!nul) {
      if (badEntry) *badEntry = i;
      return DirectoryStatus::kNameWithoutNul;
    }
    RawPackageEntry raw;
    raw.name.assign(reinterpret_cast<const char*>(field), (size_t)(static_cast<const unsigned char*>(nul) - field));
    raw.entry.offset = ReadLittleEndian32(field + kPackageNameSize);
    raw.entry.size = ReadLittleEndian32(field + kPackageNameSize + 4);
    if ((uint64_t)raw.entry.offset + raw.entry.size > plaintext.size) {
      if (badEntry) *badEntry = i;
      return DirectoryStatus::kOutsidePlaintext;
    }
    result.push_back(std::move(raw));
  }
  *entries = std::move(result);
  return DirectoryStatus::kOk;
}

std::string FoldPackageName(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  }
  return name;
}

void ParsePackageDirectory(uint32_t directoryLength, const PlaintextImage& plaintext, PackageIndex& index) {
  std::vector<RawPackageEntry> entries;
  if (ReadPackageDirectory(directoryLength, plaintext, &entries) != DirectoryStatus::kOk) return;
  for (RawPackageEntry& raw : entries) index[FoldPackageName(std::move(raw.name))] = raw.entry;
}

bool IsSafePackageTail(const std::string& tail) {
  size_t start = 0;
  while (start <= tail.size()) {
    size_t end = tail.find_first_of("\\/", start);
    if (end == std::string::npos) end = tail.size();
    std::string component = tail.substr(start, end - start);
    if (!component.empty()) {
      if (component.find_first_not_of(". ") == std::string::npos) return false;
      if (IsReservedDeviceName(component)) return false;
    }
    start = end + 1;
  }
  for (unsigned char c : tail) {
    if (c < 0x20 || c == ':' || c == 0x7f) return false;
  }
  return true;
}

bool IsSafeDestinationFile(const std::string& destfile) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (destfile.size() >= 2 && separator(destfile[0]) && separator(destfile[1])) return false;
  if (!destfile.empty() && destfile[0] == '/') return false;
  return IsSafePackageTail("\\" + destfile);
}

int ExtractPackage(PackageSystem& system, const std::string& archiveName, const std::string& directory) {
  return ExtractPackageFile(system, JoinPath(directory, archiveName), directory);
}

int ExtractPackage(PackageWindow window, const std::string& archiveName, const std::string& directory) {
  PlatformPackageSystem system(window);
  return ExtractPackage(system, archiveName, directory);
}

int ExtractPackageFile(PackageSystem& system, const std::string& archivePath, const std::string& directory) {
  PackageIndex index;
  uint32_t directoryLength = 0;
  PlaintextImage plaintext = LoadPackage(kPackagePassword, system, archivePath, &directoryLength);
  ParsePackageDirectory(directoryLength, plaintext, index);
  if (index.empty()) return 1;

  system.CreateDirectoryLevel(directory);
  const uint64_t total = index.size();
  uint64_t written = 0;
  ProgressPoster progress(system, 50);
  for (const auto& item : index) {
    const std::string tail = TailFromFirstBackslash(item.first);
    if (!IsSafePackageTail(tail)) continue;
    for (size_t i = 0; i < tail.size(); ++i) {
      if (tail[i] == '\\') system.CreateDirectoryLevel(JoinPath(directory, tail.substr(0, i)));
    }
    // A name without a file part (no backslash, or a trailing one) names the
    // directory itself: there is no file to write.
    if (tail.empty() || tail.back() == '\\') continue;
    const std::string target = JoinPath(directory, tail);
    system.ClearReadOnly(target);
    WriteResult result = system.WriteWholeFile(target, plaintext.bytes.get() + item.second.offset, item.second.size);
    if (result == WriteResult::kNotOpened) continue;
    if (result == WriteResult::kIncomplete) return 1;
    const int value = (int)(50 + (50 * written) / total);
    ++written;
    progress.PostIfChanged(value, 10);
  }
  progress.PostAlways(100);
  return 0;
}
