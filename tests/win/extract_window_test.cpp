// Extraction on Windows: progress reaches a real window as posted messages.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "package/package_archive.h"
#include "tests/support/test_files.h"
#include "tools/pkgtool/package_writer.h"

namespace {

class ProgressRecorder : public PlatformPackageSystem {
 public:
  ProgressRecorder() : PlatformPackageSystem(nullptr) {}
  std::vector<int> posts;
  void PostProgress(int percent) override { posts.push_back(percent); }
  void Pause(int) override {}
};

TEST(ExtractWindow, ProgressArrivesAsPostedSetupProgressMessages) {
  HWND window = CreateWindowExA(0, "STATIC", "progress", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  TempDir root;
  std::vector<PackageInput> files = {{"top\\d\\1", std::string(247, '1')},
                                     {"top\\d\\2", std::string(247, '2')},
                                     {"top\\e\\3", std::string(247, '3')},
                                     {"top\\e\\4", std::string(247, '4')}};
  const std::string archive = BuildPackage(files);
  ASSERT_TRUE(WriteTestFile(root.Join("p.pak"), archive));

  const DWORD started = GetTickCount();
  EXPECT_EQ(ExtractPackage(static_cast<PackageWindow>(window), "p.pak", root.path()), 0);
  const DWORD elapsed = GetTickCount() - started;

  std::vector<int> received;
  MSG msg;
  while (PeekMessageA(&msg, window, 0, 0, PM_REMOVE)) {
    EXPECT_EQ(msg.message, 20000u);
    EXPECT_EQ(msg.wParam, 0u);
    received.push_back((int)msg.lParam);
  }
  EXPECT_EQ(received, (std::vector<int>{25, 37, 50, 50, 62, 75, 87, 100}));
  // Two pauses of 20 ms and three of 10 ms happened on this thread.
  EXPECT_GE(elapsed, 60u);

  // The same archive through the seam gives the same sequence.
  TempDir again;
  ASSERT_TRUE(WriteTestFile(again.Join("p.pak"), archive));
  ProgressRecorder recorder;
  EXPECT_EQ(ExtractPackage(recorder, "p.pak", again.path()), 0);
  EXPECT_EQ(recorder.posts, received);

  std::string bytes;
  ASSERT_TRUE(ReadTestFile(root.Join("e\\4"), &bytes));
  EXPECT_EQ(bytes, files[3].contents);
  DestroyWindow(window);
}

TEST(ExtractWindow, ArchiveOpenForWritingElsewhereCanStillBeRead) {
  TempDir root;
  ASSERT_TRUE(WriteTestFile(root.Join("p.pak"), BuildPackage({{"top\\a", "a"}})));
  // Another reader holds the archive open with read sharing only.
  HANDLE other = CreateFileA(root.Join("p.pak").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  ProgressRecorder recorder;
  EXPECT_EQ(ExtractPackage(recorder, "p.pak", root.path()), 0);
  CloseHandle(other);
  // A writer that shares nothing keeps the archive from being opened.
  HANDLE writer = CreateFileA(root.Join("p.pak").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  ProgressRecorder blocked;
  EXPECT_EQ(ExtractPackage(blocked, "p.pak", root.path()), 1);
  EXPECT_TRUE(blocked.posts.empty());
  CloseHandle(writer);
}

}  // namespace
