#include "engine/shell_integration.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <direct.h>

#include <cstdio>
#include <cstring>

namespace {

// Formats into a fixed buffer; false when the text would not fit.
template <size_t N, typename... Args>
bool Compose(char (&out)[N], const char* format, Args... args) {
  const int length = snprintf(out, N, format, args...);
  return length >= 0 && length < (int)N;
}

bool SpecialFolderPath(int csidl, char (&path)[MAX_PATH]) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return false;
  const bool ok = SHGetPathFromIDListA(list, path) != FALSE;
  CoTaskMemFree(list);
  return ok;
}

class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitialize(nullptr))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  bool ok() const { return ok_; }

 private:
  bool ok_;
};

template <typename T>
class ComPtr {
 public:
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T** put() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

class RegistryKey {
 public:
  ~RegistryKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY* put() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

void SetString(HKEY key, const char* name, const char* value) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), (DWORD)strlen(value) + 1);
}

void SetNumber(HKEY key, const char* name, DWORD value) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

void GetSystemDriveRoot(char* buffer, int* size) {
  if (*size < 4) {
    *size = 4;
    return;
  }
  memset(buffer, 0, (size_t)*size);
  char system[MAX_PATH] = {0};
  if (GetSystemDirectoryA(system, sizeof system) >= 3) memcpy(buffer, system, 3);
}

bool CreateDirectoryPath(const char* path) {
  char buffer[MAX_PATH];
  if (!Compose(buffer, "%s\\", path)) return false;
  for (char* p = buffer; (p = strpbrk(p, "\\/")) != nullptr; ++p) {
    const char kept = p[1];
    p[1] = '\0';
    _mkdir(buffer);
    p[1] = kept;
  }
  return true;
}

bool CreateShortcut(const char* target, const char* linkName, int folder, bool asFolder) {
  ComScope com;
  if (!com.ok()) return false;
  char folderPath[MAX_PATH];
  if (!SpecialFolderPath(folder == kShortcutPrograms ? CSIDL_PROGRAMS : CSIDL_DESKTOPDIRECTORY, folderPath)) {
    return false;
  }
  char linkPath[MAX_PATH];
  if (asFolder) {
    return Compose(linkPath, "%s\\%s", folderPath, linkName) && CreateDirectoryPath(linkPath);
  }
  if (!Compose(linkPath, "%s\\%s.lnk", folderPath, linkName)) return false;

  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(link.put())))) {
    return false;
  }
  link->SetPath(target);
  // The working directory is the target's folder, drive letter in upper case.
  char workingDir[MAX_PATH];
  const char* lastSeparator = strrchr(target, '\\');
  if (lastSeparator && Compose(workingDir, "%.*s", (int)(lastSeparator - target), target)) {
    if (workingDir[0] >= 'a' && workingDir[0] <= 'z') workingDir[0] = (char)(workingDir[0] - 'a' + 'A');
    link->SetWorkingDirectory(workingDir);
  }

  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put())))) return false;
  WCHAR widePath[MAX_PATH];
  if (MultiByteToWideChar(CP_THREAD_ACP, MB_PRECOMPOSED, linkPath, -1, widePath, MAX_PATH) == 0) return false;
  return SUCCEEDED(file->Save(widePath, TRUE));
}

void DeleteShortcut(const char* linkName, int folder, bool asFolder) {
  int csidl = CSIDL_DESKTOPDIRECTORY;
  if (folder == kShortcutPrograms) csidl = CSIDL_PROGRAMS;
  if (folder == kShortcutSecond) csidl = CSIDL_COMMON_PROGRAMS;
  char folderPath[MAX_PATH];
  if (!SpecialFolderPath(csidl, folderPath)) return;
  char path[MAX_PATH];
  if (asFolder) {
    if (Compose(path, "%s\\%s", folderPath, linkName)) DeleteDirectoryTree(path);
  } else if (Compose(path, "%s\\%s.lnk", folderPath, linkName)) {
    DeleteFileA(path);
  }
}

void RegisterUninstall(const char* keyName, const char* displayName, const char* uninstaller,
                       const char* uninstallFile, const char* publisher, const char* contact) {
  if (!keyName || !displayName || !uninstaller || !publisher || !contact) return;
  // An empty name would address the Uninstall key itself.
  if (keyName[0] == '\0') return;
  char keyPath[1024] = {0};
  char uninstallString[1100];
  char icon[600];
  if (!Compose(keyPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", keyName)) return;
  const bool composed = uninstallFile ? Compose(uninstallString, "\"%s\" \"/U:%s\"", uninstaller, uninstallFile)
                                      : Compose(uninstallString, "\"%s\"", uninstaller);
  if (!composed || !Compose(icon, "\"%s\"", uninstaller)) return;

  RegistryKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS &&
      RegCreateKeyA(HKEY_LOCAL_MACHINE, keyPath, key.put()) != ERROR_SUCCESS) {
    return;
  }
  SetString(key.get(), "DisplayName", displayName);
  SetNumber(key.get(), "NoModify", 1);
  SetNumber(key.get(), "NoRepair", 1);
  SetString(key.get(), "UninstallString", uninstallString);
  SetString(key.get(), "Publisher", publisher);
  SetString(key.get(), "Contact", contact);
  SetString(key.get(), "DisplayIcon", icon);
}

void DeleteDirectoryTree(const char* path) {
  if (!path || path[0] == '\0') return;
  char pattern[MAX_PATH];
  if (!Compose(pattern, "%s\\*", path)) return;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern, &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (strcmp(data.cFileName, ".") == 0 || strcmp(data.cFileName, "..") == 0) continue;
      char child[MAX_PATH];
      if (!Compose(child, "%s\\%s", path, data.cFileName)) continue;
      const DWORD attributes = data.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        // A junction or directory link: remove the link, not what it points to.
        RemoveDirectoryA(child);
      } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirectoryTree(child);
      } else {
        DeleteFileA(child);
      }
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  RemoveDirectoryA(path);
}
