#include "temp_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

TemporaryFile::~TemporaryFile() {
  Close();
  if (!path_.empty()) remove(path_.c_str());
}

bool TemporaryFile::Close() {
  const bool ok = file_ == nullptr || fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

bool TemporaryFile::Create(std::string* error) {
#ifdef _WIN32
  char folder[MAX_PATH];
  char path[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof folder, folder);
  if (length == 0 || length >= sizeof folder || GetTempFileNameA(folder, "pkg", 0, path) == 0) {
    *error = "no temporary file could be made";
    return false;
  }
  path_ = path;
  file_ = fopen(path, "wb");
#else
  const char* folder = getenv("TMPDIR");
  std::string pattern = std::string(folder && folder[0] ? folder : "/tmp") + "/pkgtool-check.XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int descriptor = mkstemp(name.data());
  if (descriptor < 0) {
    *error = "no temporary file could be made in " + pattern + ": " + strerror(errno);
    return false;
  }
  path_ = name.data();
  file_ = fdopen(descriptor, "wb");
  if (!file_) close(descriptor);
#endif
  if (!file_) {
    *error = "cannot write the temporary file " + path_;
    return false;
  }
  return true;
}
