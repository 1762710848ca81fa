// POSIX calls of package extraction: archive names keep the backslash as their
// separator until the file-system call, where it becomes '/'.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "package_system.h"

namespace {

std::string HostPath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

class PosixPackageFile : public PackageFile {
 public:
  explicit PosixPackageFile(int fd) : fd_(fd) {}
  ~PosixPackageFile() override { close(fd_); }

  bool Size(uint32_t* size) override {
    struct stat info;
    if (fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if ((uint64_t)info.st_size > 0xffffffffu) return false;
    *size = (uint32_t)info.st_size;
    return true;
  }

  bool Read(void* buffer, uint32_t length, uint32_t* got) override {
    // Large reads go in pieces so that progress can be shown while reading.
    const uint32_t kPiece = 8u << 20;
    for (;;) {
      ssize_t n = read(fd_, buffer, length < kPiece ? length : kPiece);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      *got = (uint32_t)n;
      return true;
    }
  }

 private:
  int fd_;
};

}  // namespace

std::unique_ptr<PackageFile> PlatformPackageSystem::OpenArchive(const std::string& path) {
  int fd = open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::unique_ptr<PackageFile>(new PosixPackageFile(fd));
}

void PlatformPackageSystem::CreateDirectoryLevel(const std::string& path) { mkdir(HostPath(path).c_str(), 0755); }

void PlatformPackageSystem::ClearReadOnly(const std::string& path) {
  std::string host = HostPath(path);
  struct stat info;
  if (lstat(host.c_str(), &info) == 0 && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR)) {
    chmod(host.c_str(), (info.st_mode & 07777) | S_IWUSR);
  }
}

WriteResult PlatformPackageSystem::WriteWholeFile(const std::string& path, const unsigned char* data, uint32_t size) {
  return WriteWholeFileWithStdio(HostPath(path).c_str(), data, size);
}

void PlatformPackageSystem::PostProgress(int) {}

void PlatformPackageSystem::Pause(int milliseconds) {
  struct timespec delay = {milliseconds / 1000, (long)(milliseconds % 1000) * 1000000L};
  while (nanosleep(&delay, &delay) != 0 && errno == EINTR) {
  }
}
