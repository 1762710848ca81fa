// The installer end to end: the real program in a real window, clicked through
// from outside, against nginx serving a publisher tree made with the archive
// tool. The demo publisher answers on the installer's built-in address and
// sends its package at 1 MB/s; a second one (127.0.0.1:8452) serves a
// corrupted package to an installer built for it; a third installer is built
// for an address where nothing answers.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package/package_archive.h"
#include "package/package_system.h"
#include "tests/app/wizard_driver.h"
#include "tests/support/install_checks.h"
#include "tests/support/test_files.h"

namespace {

// What the demo descriptor names.
const char kGameName[] = "Zuvuva";
const char kPackageRequest[] = "\"GET /slow/zuvuva.pak HTTP/1.1\" ";

std::string ServerFile(const char* stateVariable, const std::string& tail) {
  return HostPathFromEnvironment(stateVariable) + "\\" + tail;
}
std::string DemoAccessLog() { return ServerFile("ZV_DEMO_STATE", "nginx\\access.log"); }
std::string DemoPackage() { return ServerFile("ZV_DEMO_STATE", "www\\slow\\zuvuva.pak"); }

std::vector<std::string> FileLines(const std::string& path) {
  std::string text;
  ReadTestFile(path, &text);
  return SplitLines(text);
}

long long FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return ((long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

// File writes without the progress pauses of the installer's window.
class QuietPackageSystem : public PlatformPackageSystem {
 public:
  QuietPackageSystem() : PlatformPackageSystem(nullptr) {}
  void PostProgress(int) override {}
  void Pause(int) override {}
};

// The files of `root` (not its directories), relative to it.
std::vector<std::string> FilesBelow(const std::string& root) {
  std::vector<std::string> files;
  for (const std::string& entry : ListTree(root)) {
    if (entry.back() != '\\') files.push_back(entry);
  }
  return files;
}

// Status and length of each package request in the demo log, from line `first`.
std::vector<std::string> PackageRequestsFrom(size_t first) {
  std::vector<std::string> requests;
  const std::vector<std::string> log = FileLines(DemoAccessLog());
  for (size_t i = first; i < log.size(); ++i) {
    const size_t at = log[i].find(kPackageRequest);
    if (at == std::string::npos) continue;
    const std::string rest = log[i].substr(at + strlen(kPackageRequest));
    requests.push_back(rest.substr(0, rest.find(' ', rest.find(' ') + 1)));
  }
  return requests;
}

class InstallerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { CloseDemoGames(); }
  void TearDown() override { CloseDemoGames(); }
};

// From the descriptor to the started game, through the window: the package's
// files in the folder chosen on page 1, the uninstall registration, the links,
// uninstall.ini, wbConfig.ini, the game running, one report and exit code 0.
TEST_F(InstallerEndToEnd, WholeInstallationFromDescriptorToStartedGame) {
  RemoveTree("C:\\ZvWhole");
  const int reportsBefore = ReportsReceived(DemoAccessLog());
  InstallerProcess installer(HostPathFromEnvironment("ZV_INSTALLER"));
  HWND wizard = WaitForWizard(20000);
  ASSERT_NE(wizard, nullptr);
  InstallInto(wizard, "C:\\ZvWhole");
  ASSERT_EQ(installer.Wait(60000), 0);
  EXPECT_EQ(ReportsReceived(DemoAccessLog()), reportsBefore + 1);

  const std::string dir = "C:\\ZvWhole\\Zuvuva\\";
  ASSERT_TRUE(WaitForGameLog(dir + "demo_game.log", "started"));
  EXPECT_NE(WaitForWindow(nullptr, "Zuvuva Demo Game", 10000), nullptr);

  // Every file of the package, byte for byte, and besides them only what the
  // installer and the game write.
  TempDir expected;
  QuietPackageSystem system;
  ASSERT_EQ(ExtractPackageFile(system, DemoPackage(), expected.path()), 0);
  const std::vector<std::string> packaged = FilesBelow(expected.path());
  ASSERT_GE(packaged.size(), 4u);
  for (const std::string& file : packaged) {
    std::string want, got;
    ASSERT_TRUE(ReadTestFile(expected.Join(file), &want)) << file;
    ASSERT_TRUE(ReadTestFile(dir + file, &got)) << file;
    EXPECT_TRUE(want == got) << file;
  }
  std::vector<std::string> installed = FilesBelow(dir), extra;
  std::set_difference(installed.begin(), installed.end(), packaged.begin(), packaged.end(), std::back_inserter(extra));
  EXPECT_EQ(extra, (std::vector<std::string>{"demo_game.log", "uninstall\\uninstall.ini", "wbConfig.ini"}));

  EXPECT_EQ(UninstallValues(kGameName),
            ExpectedUninstallValues(kGameName, dir, "Zuvuva Studio", "support@zuvuva.example"));
  EXPECT_EQ(GameLinks(kGameName), ExpectedGameLinks(dir));
  EXPECT_EQ(UninstallIniConfig(dir + "uninstall\\uninstall.ini"),
            (std::vector<std::string>{"setupdir=" + dir, "gamename=Zuvuva", "shortcutname=game",
                                      "ProductTitle=Zuvuva Demo Game", "OnlineType=1"}));
  std::string config;
  ASSERT_TRUE(ReadTestFile(dir + "wbConfig.ini", &config));
  EXPECT_EQ(config, "[WBID]\r\nID=1\r\n[WBURL]\r\nURL=http://127.0.0.1:8451\r\n[Area]\r\nAreaID=25\r\n");
}

// No descriptor: the job's box naming the address, then the notice, no wizard
// on screen, exit code 0.
TEST_F(InstallerEndToEnd, ServerDownAtStartSaysSoWithoutAWindow) {
  InstallerProcess installer(HostPathFromEnvironment("ZV_INSTALLER_UNREACHABLE"));
  ASSERT_TRUE(installer.started());
  const std::vector<std::string> texts = {"http://127.0.0.1:1/update/online_setup.txt 错误  尝试 20", "无法连接网络"};
  for (const std::string& text : texts) {
    // Twenty attempts half a second apart come before the first box.
    HWND box = WaitForWindow("#32770", "退出", 40000);
    ASSERT_NE(box, nullptr) << text;
    EXPECT_EQ(BoxText(box), text);
    HWND wizard = FindWindowA("Zuvuva在线安装", "Zuvuva在线安装");
    EXPECT_TRUE(wizard == nullptr || !IsWindowVisible(wizard));
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(25);
  }
  EXPECT_EQ(installer.Wait(10000), 0);
}

// Killed halfway through the package: the next run asks for the rest only
// (one request answered 206 with exactly the missing bytes) and completes.
TEST_F(InstallerEndToEnd, KilledDuringThePackageDownloadResumesOnTheNextRun) {
  RemoveTree("C:\\ZvResumed");
  const std::string partial = "C:\\ZvResumed\\Zuvuva\\zuvuva.pak";
  const long long total = FileSize(DemoPackage());
  ASSERT_GT(total, 1000000);
  const size_t logAtStart = FileLines(DemoAccessLog()).size();
  {
    InstallerProcess first(HostPathFromEnvironment("ZV_INSTALLER"));
    HWND wizard = WaitForWizard(20000);
    ASSERT_NE(wizard, nullptr);
    InstallInto(wizard, "C:\\ZvResumed");
    for (int i = 0; i < 400 && FileSize(partial) < total / 4; ++i) Sleep(25);
    first.Kill();
  }
  const long long kept = FileSize(partial);
  ASSERT_GT(kept, 0);
  ASSERT_LT(kept, total) << "the download ended before the kill";
  // nginx logs the broken-off request once it notices the closed connection.
  for (int i = 0; i < 200 && PackageRequestsFrom(logAtStart).empty(); ++i) Sleep(25);
  ASSERT_EQ(PackageRequestsFrom(logAtStart).size(), 1u);

  const size_t logBefore = FileLines(DemoAccessLog()).size();
  InstallerProcess second(HostPathFromEnvironment("ZV_INSTALLER"));
  HWND wizard = WaitForWizard(20000);
  ASSERT_NE(wizard, nullptr);
  InstallInto(wizard, "C:\\ZvResumed");
  ASSERT_EQ(second.Wait(60000), 0);

  const std::vector<std::string> packageRequests = PackageRequestsFrom(logBefore);
  ASSERT_EQ(packageRequests.size(), 1u);
  EXPECT_EQ(packageRequests[0], "206 " + std::to_string(total - kept));
  EXPECT_TRUE(WaitForGameLog("C:\\ZvResumed\\Zuvuva\\demo_game.log", "started"));
  EXPECT_FALSE(PathExists(partial));
}

// A package that downloads whole but does not unpack: the box, the package
// deleted, nothing installed or reported. While the box waits the installer
// still runs, and a second copy is turned away.
TEST_F(InstallerEndToEnd, CorruptedPackageFailsAndIsDeleted) {
  RemoveTree("C:\\ZvCorrupt");
  const std::string accessLog = ServerFile("ZV_CORRUPT_STATE", "nginx\\access.log");
  InstallerProcess installer(HostPathFromEnvironment("ZV_INSTALLER_CORRUPT"));
  HWND wizard = WaitForWizard(20000);
  ASSERT_NE(wizard, nullptr);
  InstallInto(wizard, "C:\\ZvCorrupt");
  HWND box = WaitForWindow("#32770", "错误", 30000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), "解压文件失败");
  EXPECT_FALSE(PathExists("C:\\ZvCorrupt\\Zuvuva\\zuvuva.pak"));
  EXPECT_FALSE(PathExists("C:\\ZvCorrupt\\Zuvuva\\game.exe"));

  InstallerProcess second(HostPathFromEnvironment("ZV_INSTALLER_CORRUPT"));
  HWND notice = WaitForWindow("#32770", "提示", 10000);
  ASSERT_NE(notice, nullptr);
  EXPECT_EQ(BoxText(notice), "应用程序已经在运行！");
  PostMessageA(notice, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(second.Wait(10000), 0);

  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(installer.Wait(20000), 0);
  EXPECT_EQ(ReportsReceived(accessLog), 0);
  EXPECT_FALSE(PathExists("C:\\ZvCorrupt\\Zuvuva\\demo_game.log"));
}

}  // namespace
