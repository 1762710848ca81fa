#include "source_tree.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <iconv.h>
#include <sys/stat.h>
#endif

namespace {

#ifdef _WIN32
const char kSeparators[] = "\\/";

std::string FullPath(const std::string& path) {
  char buffer[MAX_PATH];
  DWORD n = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  return (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : path;
}

bool Walk(const std::string& dir, const std::string& relative, const std::string& exclude,
          std::vector<SourceFile>* files, std::string* error) {
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    *error = "cannot read folder " + dir;
    return false;
  }
  bool ok = true;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    std::string path = dir + "\\" + name;
    std::string rel = relative.empty() ? name : relative + "\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = Walk(path, rel, exclude, files, error);
    } else if (_stricmp(FullPath(path).c_str(), exclude.c_str()) != 0) {
      SourceFile file;
      file.path = path;
      file.relativeName = rel;
      file.size = ((uint64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
      files->push_back(file);
    }
  } while (ok && FindNextFileA(find, &data));
  FindClose(find);
  return ok;
}
#else
const char kSeparators[] = "/";

bool Walk(const std::string& dir, const std::string& relative, const struct stat& exclude,
          std::vector<SourceFile>* files, std::string* error) {
  DIR* handle = opendir(dir.c_str());
  if (!handle) {
    *error = "cannot read folder " + dir + ": " + strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  while (struct dirent* entry = readdir(handle)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(handle);
  for (const std::string& name : names) {
    std::string path = dir + "/" + name;
    std::string rel = relative.empty() ? name : relative + "\\" + name;
    if (name.find('\\') != std::string::npos) {
      *error = "a backslash in a file name cannot be archived: " + path;
      return false;
    }
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
      *error = "cannot read " + path + ": " + strerror(errno);
      return false;
    }
    if (S_ISDIR(info.st_mode)) {
      if (!Walk(path, rel, exclude, files, error)) return false;
    } else if (S_ISREG(info.st_mode)) {
      if (info.st_dev == exclude.st_dev && info.st_ino == exclude.st_ino) continue;
      SourceFile file;
      file.path = path;
      file.relativeName = rel;
      file.size = (uint64_t)info.st_size;
      files->push_back(file);
    }
    // Links and special files are not archived: the installer writes plain files only.
  }
  return true;
}

bool Convert(const char* to, const char* from, std::string* text) {
  iconv_t cd = iconv_open(to, from);
  if (cd == (iconv_t)-1) return false;
  std::string out(text->size() * 4 + 4, '\0');
  char* in = &(*text)[0];
  size_t inLeft = text->size();
  char* outPtr = &out[0];
  size_t outLeft = out.size();
  size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (r == (size_t)-1) return false;
  out.resize(out.size() - outLeft);
  *text = out;
  return true;
}
#endif

}  // namespace

std::string SourceTreeBaseName(const std::string& path) {
  size_t end = path.find_last_not_of(kSeparators);
  if (end == std::string::npos) return std::string();
  size_t start = path.find_last_of(kSeparators, end);
  start = (start == std::string::npos) ? 0 : start + 1;
  return path.substr(start, end + 1 - start);
}

bool ListSourceTree(const std::string& root, const std::string& exclude, std::vector<SourceFile>* files,
                    std::string* error) {
  files->clear();
#ifdef _WIN32
  bool ok = Walk(root, std::string(), FullPath(exclude), files, error);
#else
  struct stat excluded;
  memset(&excluded, 0, sizeof excluded);
  if (stat(exclude.c_str(), &excluded) != 0) memset(&excluded, 0, sizeof excluded);
  bool ok = Walk(root, std::string(), excluded, files, error);
#endif
  std::sort(files->begin(), files->end(),
            [](const SourceFile& a, const SourceFile& b) { return a.relativeName < b.relativeName; });
  return ok;
}

bool ConvertNameToGbk(std::string* name, std::string* error) {
#ifdef _WIN32
  (void)name;
  (void)error;
  return true;
#else
  if (std::all_of(name->begin(), name->end(), [](char c) { return (unsigned char)c < 0x80; })) return true;
  std::string converted = *name;
  if (!Convert("GBK", "UTF-8", &converted)) {
    *error = "name cannot be written in GBK: " + *name;
    return false;
  }
  *name = converted;
  return true;
#endif
}

std::string GbkNameForDisplay(const std::string& name) {
#ifdef _WIN32
  return name;
#else
  std::string converted = name;
  return Convert("UTF-8", "GBK", &converted) ? converted : name;
#endif
}
