#include "test_files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string Host(std::string path) {
#ifndef _WIN32
  std::replace(path.begin(), path.end(), '\\', '/');
#endif
  return path;
}

void Walk(const std::string& root, const std::string& relative, std::vector<std::string>* out) {
  std::string dir = relative.empty() ? root : root + "\\" + relative;
#ifdef _WIN32
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  std::vector<std::pair<std::string, bool>> names;
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back({name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileA(find, &data));
  FindClose(find);
#else
  DIR* handle = opendir(Host(dir).c_str());
  if (!handle) return;
  std::vector<std::pair<std::string, bool>> names;
  while (struct dirent* entry = readdir(handle)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info;
    bool isDir = lstat((Host(dir) + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    names.push_back({name, isDir});
  }
  closedir(handle);
#endif
  for (const auto& item : names) {
    std::string rel = relative.empty() ? item.first : relative + "\\" + item.first;
    if (item.second) {
      out->push_back(rel + "\\");
      Walk(root, rel, out);
    } else {
      out->push_back(rel);
    }
  }
}

}  // namespace

TempDir::TempDir() {
#ifdef _WIN32
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  static unsigned serial = 0;
  for (;;) {
    char name[MAX_PATH];
    snprintf(name, sizeof name, "%szvtest-%lu-%u", base, GetCurrentProcessId(), serial++);
    if (CreateDirectoryA(name, nullptr)) {
      path_ = name;
      break;
    }
  }
#else
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zvtest-XXXXXX";
  char* made = mkdtemp(&pattern[0]);
  path_ = made ? made : "";
#endif
}

TempDir::~TempDir() {
  if (!path_.empty()) RemoveTree(path_);
}

std::string TempDir::Join(const std::string& tail) const { return path_ + "\\" + tail; }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

bool WriteTestFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(Host(path).c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

bool ReadTestFile(const std::string& path, std::string* bytes) {
  FILE* f = fopen(Host(path).c_str(), "rb");
  if (!f) return false;
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  fclose(f);
  return true;
}

bool MakeTestDirectory(const std::string& path) {
#ifdef _WIN32
  return CreateDirectoryA(path.c_str(), nullptr) != 0;
#else
  return mkdir(Host(path).c_str(), 0755) == 0;
#endif
}

bool PathExists(const std::string& path) {
#ifdef _WIN32
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat info;
  return lstat(Host(path).c_str(), &info) == 0;
#endif
}

bool SetReadOnly(const std::string& path, bool readOnly) {
#ifdef _WIN32
  DWORD a = GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  a = readOnly ? (a | FILE_ATTRIBUTE_READONLY) : (a & ~(DWORD)FILE_ATTRIBUTE_READONLY);
  return SetFileAttributesA(path.c_str(), a) != 0;
#else
  return chmod(Host(path).c_str(), readOnly ? 0444 : 0644) == 0;
#endif
}

bool IsReadOnly(const std::string& path) {
#ifdef _WIN32
  DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
#else
  struct stat info;
  return stat(Host(path).c_str(), &info) == 0 && !(info.st_mode & S_IWUSR);
#endif
}

std::vector<std::string> ListTree(const std::string& root) {
  std::vector<std::string> out;
  Walk(root, std::string(), &out);
  std::sort(out.begin(), out.end());
  return out;
}

std::string WindowsPathOfHostPath(std::string hostPath) {
  std::replace(hostPath.begin(), hostPath.end(), '/', '\\');
  return "Z:" + hostPath;
}

std::string HostPathFromEnvironment(const char* name) {
  const char* value = getenv(name);
  return value ? WindowsPathOfHostPath(value) : std::string();
}

void RemoveTree(const std::string& path) {
  std::vector<std::string> entries = ListTree(path);
  std::sort(entries.rbegin(), entries.rend());  // children before parents
  for (const std::string& rel : entries) {
    std::string full = path + "\\" + rel;
    if (!rel.empty() && rel.back() == '\\') {
      full.pop_back();
#ifdef _WIN32
      RemoveDirectoryA(full.c_str());
#else
      rmdir(Host(full).c_str());
#endif
    } else {
      SetReadOnly(full, false);
      remove(Host(full).c_str());
    }
  }
#ifdef _WIN32
  RemoveDirectoryA(path.c_str());
#else
  rmdir(Host(path).c_str());
#endif
}
