// The operating-system calls of package extraction, behind one small interface
// so that the same extraction runs on Windows and on POSIX hosts, and tests can
// record progress or inject faults. Paths use the backslash as separator; a
// POSIX implementation turns it into '/' only at the file-system call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Handle of the window that receives progress (an HWND on Windows).
using PackageWindow = void*;

class PackageFile {
 public:
  virtual ~PackageFile() = default;
  // Length of the file, or false when it cannot be told or exceeds 32 bits.
  virtual bool Size(uint32_t* size) = 0;
  // Reads up to `length` bytes; false on a read error. `*got` is 0 at the end.
  virtual bool Read(void* buffer, uint32_t length, uint32_t* got) = 0;
};

enum class WriteResult {
  kWritten,      // every byte written and the file closed
  kNotOpened,    // the target could not be created or truncated
  kIncomplete,   // opened, but not every byte reached the disk
};

class PackageSystem {
 public:
  virtual ~PackageSystem() = default;
  // Opens an existing file for reading, sharing read access; null on failure.
  virtual std::unique_ptr<PackageFile> OpenArchive(const std::string& path) = 0;
  // Creates one directory level; failures are not reported.
  virtual void CreateDirectoryLevel(const std::string& path) = 0;
  // Clears the read-only attribute of an existing file, keeping the others.
  virtual void ClearReadOnly(const std::string& path) = 0;
  // Creates or truncates `path` and writes `size` bytes in one write.
  virtual WriteResult WriteWholeFile(const std::string& path, const unsigned char* data, uint32_t size) = 0;
  virtual void PostProgress(int percent) = 0;
  virtual void Pause(int milliseconds) = 0;
};

// Creates or truncates `path` with stdio ("wb") and writes `size` bytes in one
// write; a short write or a failing close is reported as incomplete.
WriteResult WriteWholeFileWithStdio(const char* path, const unsigned char* data, uint32_t size);

// The real calls of this platform. On Windows progress is posted to `window`
// as WM_SETUP_PROGRESS; on POSIX it goes nowhere.
class PlatformPackageSystem : public PackageSystem {
 public:
  explicit PlatformPackageSystem(PackageWindow window) : window_(window) {}
  std::unique_ptr<PackageFile> OpenArchive(const std::string& path) override;
  void CreateDirectoryLevel(const std::string& path) override;
  void ClearReadOnly(const std::string& path) override;
  WriteResult WriteWholeFile(const std::string& path, const unsigned char* data, uint32_t size) override;
  void PostProgress(int percent) override;
  void Pause(int milliseconds) override;

 private:
  PackageWindow window_;
};
