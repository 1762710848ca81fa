// A new file in the system's temporary folder, removed with its owner.
#pragma once

#include <cstdio>
#include <string>

class TemporaryFile {
 public:
  TemporaryFile() = default;
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // Creates the file, empty and open for writing. False with `error` filled
  // when no file could be made.
  bool Create(std::string* error);
  FILE* file() const { return file_; }
  const std::string& path() const { return path_; }
  // Closes the file and keeps it; false when buffered data could not be written.
  bool Close();

 private:
  FILE* file_ = nullptr;
  std::string path_;
};
