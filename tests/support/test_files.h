// File helpers for tests that run natively and under Wine. Paths use the
// backslash, as the installer's own paths do; on POSIX it becomes '/'.
#pragma once

#include <string>
#include <vector>

// A fresh empty directory, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string Join(const std::string& tail) const;

 private:
  std::string path_;
};

// The lines of `text`, without their "\n" or "\r\n"; no empty last line.
std::vector<std::string> SplitLines(const std::string& text);

bool WriteTestFile(const std::string& path, const std::string& bytes);
bool ReadTestFile(const std::string& path, std::string* bytes);
bool MakeTestDirectory(const std::string& path);
bool PathExists(const std::string& path);
bool SetReadOnly(const std::string& path, bool readOnly);
bool IsReadOnly(const std::string& path);
// Every file and directory below `root`, backslash-separated and sorted;
// directories end with a backslash.
std::vector<std::string> ListTree(const std::string& root);
void RemoveTree(const std::string& path);

// The Windows path (through Wine's Z: drive) of the Linux path held by the
// environment variable `name`; empty when it is not set.
std::string HostPathFromEnvironment(const char* name);
// The Windows path of a Linux path, through Wine's Z: drive.
std::string WindowsPathOfHostPath(std::string hostPath);
