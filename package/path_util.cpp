#include "path_util.h"

std::string JoinPath(std::string directory, std::string tail) {
  if (tail.empty()) return directory;
  size_t end = directory.find_last_not_of('\\');
  directory.erase(end == std::string::npos ? 0 : end + 1);
  size_t begin = tail.find_first_not_of('\\');
  tail.erase(0, begin == std::string::npos ? tail.size() : begin);
  directory += '\\';
  directory += tail;
  return directory;
}

std::string TailFromFirstBackslash(std::string path) {
  size_t first = path.find('\\');
  if (first == std::string::npos) return std::string();
  return path.substr(first);
}
