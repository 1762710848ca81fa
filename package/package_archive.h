// Package archives: an 8-byte header, then AES-128 ECB ciphertext whose
// plaintext starts with a directory of 268-byte entries.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "package_system.h"

// The archive password built into the installer.
extern const char kPackagePassword[];

constexpr uint32_t kPackageHeaderSize = 8;
constexpr uint32_t kPackageEntrySize = 268;
constexpr uint32_t kPackageNameSize = 260;

struct PackageEntry {
  uint32_t offset = 0;
  uint32_t size = 0;
};

// Folded entry name -> entry, in ascending unsigned byte order.
using PackageIndex = std::map<std::string, PackageEntry>;

struct PlaintextImage {
  std::unique_ptr<unsigned char[]> bytes;
  uint32_t size = 0;
  explicit operator bool() const { return bytes != nullptr; }
};

// Reads and decrypts the archive at `archivePath`, posting 0..25 while reading
// and 25..50 while decrypting. Empty when the file cannot be opened, is longer
// than 4 GiB - 1, its length is not 8 plus a multiple of 16, or the payload
// cannot be read whole. `directoryLength` receives the header's first word
// only on success.
PlaintextImage LoadPackage(const char* password, PackageSystem& system, const std::string& archivePath,
                           uint32_t* directoryLength);

enum class DirectoryStatus {
  kOk,
  kNoEntries,         // entry count <= 0 or directory length below 4
  kTooShort,          // the directory length cannot hold the entries
  kOutsidePlaintext,  // the directory length or an entry reaches past the plaintext
  kNameWithoutNul,    // an entry's 260-byte name field holds no NUL
};

struct RawPackageEntry {
  std::string name;  // as stored, up to its NUL
  PackageEntry entry;
};

// Reads the directory without trusting its numbers. On any status but kOk,
// `entries` is left empty and `badEntry` (when given) names the entry at fault.
DirectoryStatus ReadPackageDirectory(uint32_t directoryLength, const PlaintextImage& plaintext,
                                     std::vector<RawPackageEntry>* entries, int32_t* badEntry = nullptr);

// ASCII upper case to lower case, byte by byte.
std::string FoldPackageName(std::string name);

// Fills `index` with the folded names of a sound directory; leaves it empty for
// a directory that is empty, too short or malformed.
void ParsePackageDirectory(uint32_t directoryLength, const PlaintextImage& plaintext, PackageIndex& index);

// True when the tail of an entry name (from its first backslash) stays below
// the destination: no "." or ".." component (nor one of dots and blanks only),
// no drive colon or stream name, no device name, no control byte. Slashes count
// as separators here because Windows treats them so.
bool IsSafePackageTail(const std::string& tail);

// True when a "destfile" of the update list names a file below the install
// directory: one leading backslash is allowed, a UNC or drive path, a ".."
// component or a device name is not.
bool IsSafeDestinationFile(const std::string& destfile);

// Unpacks the archive `archiveName` found in `directory` into `directory`.
// 0 when the directory held entries and every file that could be opened was
// written whole; 1 when there was nothing to extract or a write fell short.
int ExtractPackage(PackageSystem& system, const std::string& archiveName, const std::string& directory);
int ExtractPackage(PackageWindow window, const std::string& archiveName, const std::string& directory);
// The same with the archive named by its own path.
int ExtractPackageFile(PackageSystem& system, const std::string& archivePath, const std::string& directory);
