// Win32 calls of package extraction. Progress goes to the wizard window as a
// posted WM_SETUP_PROGRESS with the percentage in lParam.
#include <windows.h>

#include "package_system.h"
#include "wizard/setup_messages.h"

namespace {


class Win32PackageFile : public PackageFile {
 public:
  explicit Win32PackageFile(HANDLE handle) : handle_(handle) {}
  ~Win32PackageFile() override { CloseHandle(handle_); }

  bool Size(uint32_t* size) override {
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handle_, &length) || length.QuadPart < 0 || length.QuadPart > 0xffffffffLL) return false;
    *size = (uint32_t)length.QuadPart;
    return true;
  }

  bool Read(void* buffer, uint32_t length, uint32_t* got) override {
    // Large reads go in pieces so that progress can be shown while reading.
    const DWORD kPiece = 8u << 20;
    DWORD n = 0;
    if (!ReadFile(handle_, buffer, length < kPiece ? length : kPiece, &n, nullptr)) return false;
    *got = n;
    return true;
  }

 private:
  HANDLE handle_;
};

}  // namespace

std::unique_ptr<PackageFile> PlatformPackageSystem::OpenArchive(const std::string& path) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<PackageFile>(new Win32PackageFile(handle));
}

void PlatformPackageSystem::CreateDirectoryLevel(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }

void PlatformPackageSystem::ClearReadOnly(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
      !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesA(path.c_str(), attributes & ~(DWORD)FILE_ATTRIBUTE_READONLY);
  }
}

WriteResult PlatformPackageSystem::WriteWholeFile(const std::string& path, const unsigned char* data, uint32_t size) {
  return WriteWholeFileWithStdio(path.c_str(), data, size);
}

void PlatformPackageSystem::PostProgress(int percent) {
  PostMessageA(static_cast<HWND>(window_), WM_SETUP_PROGRESS, 0, (LPARAM)percent);
}

void PlatformPackageSystem::Pause(int milliseconds) { Sleep((DWORD)milliseconds); }
