#include "package_system.h"

#include <cstdio>

WriteResult WriteWholeFileWithStdio(const char* path, const unsigned char* data, uint32_t size) {
  FILE* file = fopen(path, "wb");
  if (!file) return WriteResult::kNotOpened;
  bool whole = size == 0 || fwrite(data, 1, size, file) == size;
  if (fclose(file) != 0) whole = false;
  return whole ? WriteResult::kWritten : WriteResult::kIncomplete;
}
