// Times InstallJob::DownloadFile fetching one URL into a fresh file.
//   download_bench <url> <folder> [runs]
// Prints the best throughput of the runs in MB/s on one line, for
// download_bench.sh to set beside curl's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/install_job.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: download_bench <url> <folder> [runs]\n");
    return 2;
  }
  const int runs = argc > 3 ? atoi(argv[3]) : 3;
  double best = 0;
  for (int run = 0; run < runs; ++run) {
    InstallJob job;
    snprintf(job.installDir, sizeof job.installDir, "%s\\", argv[2]);
    std::string path;
    DeleteFileA((std::string(argv[2]) + "\\download.bin").c_str());
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const int result = job.DownloadFile(argv[1], "download.bin", &path, false);
    QueryPerformanceCounter(&end);
    if (result != 0) {
      fprintf(stderr, "download_bench: download failed: %s\n", job.errorText);
      return 1;
    }
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 1;
    const double bytes = (double)(((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow);
    const double seconds = (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
    const double rate = bytes / seconds / 1e6;
    if (rate > best) best = rate;
    DeleteFileA(path.c_str());
  }
  printf("%.1f\n", best);
  return 0;
}
