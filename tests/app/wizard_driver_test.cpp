// The wizard driven from outside, against the demo publisher.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/app/wizard_driver.h"
#include "tests/support/test_files.h"

namespace {

std::string Installer() { return HostPathFromEnvironment("ZV_INSTALLER"); }

int DemoReports() { return ReportsReceived(HostPathFromEnvironment("ZV_DEMO_ACCESS_LOG")); }

const std::vector<int> kPage0 = {1000, 1001, 1003, 1005, 1006, 1007};
const std::vector<int> kPage1 = {1000, 1001, 1003, 1004, 1008, 1009, 1010, 1011};
const std::vector<int> kPage2 = {1000, 1001, 1002, 1003};

TEST(Wizard, PagesCancelPositionAgreementAndInvalidPath) {
  InstallerProcess installer(Installer());
  ASSERT_TRUE(installer.started());
  HWND wizard = WaitForWizard(20000);
  ASSERT_NE(wizard, nullptr);
  RECT client;
  GetClientRect(wizard, &client);
  EXPECT_EQ(client.right, 503);
  EXPECT_EQ(client.bottom, 364);

  EXPECT_EQ(VisibleChildren(wizard), kPage0);
  RECT cancel = ChildRect(wizard, 1000);
  EXPECT_EQ(cancel.left, 330);
  EXPECT_EQ(cancel.top, 330);
  EXPECT_EQ(cancel.right - cancel.left, 83);
  EXPECT_EQ(cancel.bottom - cancel.top, 23);
  RECT link = ChildRect(wizard, 1005);
  EXPECT_EQ(link.right - link.left, 48);
  EXPECT_EQ(link.bottom - link.top, 12);

  // Unchecking the agreement disables Next and Install; checking enables them.
  Click(wizard, 1007);
  EXPECT_FALSE(IsWindowEnabled(Child(wizard, 1006)));
  EXPECT_FALSE(IsWindowEnabled(Child(wizard, 1004)));
  MouseClick(wizard, 1006);
  EXPECT_EQ(VisibleChildren(wizard), kPage0);  // a disabled Next does nothing
  Click(wizard, 1007);
  EXPECT_TRUE(IsWindowEnabled(Child(wizard, 1006)));
  EXPECT_TRUE(IsWindowEnabled(Child(wizard, 1004)));

  MouseClick(wizard, 1006);  // the same click that did nothing while disabled
  EXPECT_EQ(VisibleChildren(wizard), kPage1);
  cancel = ChildRect(wizard, 1000);
  EXPECT_EQ(cancel.left, 397);
  EXPECT_EQ(cancel.top, 331);
  EXPECT_EQ(ChildText(wizard, 1011), "C:\\Program Files\\Zuvuva\\");

  Click(wizard, 1010);
  EXPECT_EQ(VisibleChildren(wizard), kPage0);
  cancel = ChildRect(wizard, 1000);
  EXPECT_EQ(cancel.left, 397);  // stays where page 1 put it
  EXPECT_EQ(cancel.top, 331);

  // A typed path on a missing drive: Install refuses with a box and stays.
  Click(wizard, 1006);
  TypePath(wizard, "Q:\\Games");
  Click(wizard, 1004);
  HWND box = WaitForWindow("#32770", "确认", 10000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(BoxText(box), "指定的路径无效");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  Settle(wizard);
  EXPECT_EQ(VisibleChildren(wizard), kPage1);

  // Minimize keeps the page; close on page 1 quits at once.
  Click(wizard, 1003);
  EXPECT_TRUE(IsIconic(wizard));
  ShowWindow(wizard, SW_RESTORE);
  Settle(wizard);
  Click(wizard, 1001);
  EXPECT_EQ(installer.Wait(10000), 0);
}

TEST(Wizard, CancelOnTheWelcomePageQuitsWithoutAReport) {
  const int reportsBefore = DemoReports();
  InstallerProcess installer(Installer());
  HWND wizard = WaitForWizard(20000);
  ASSERT_NE(wizard, nullptr);
  Click(wizard, 1000);
  EXPECT_EQ(installer.Wait(10000), 0);
  EXPECT_EQ(DemoReports(), reportsBefore);
}

// On page 2 Cancel only asks the worker to stop; the window stays until the
// worker reports state 0, and nothing is reported to the web site.
TEST(Wizard, CancelDuringTheDownloadWaitsForTheWorker) {
  RemoveTree("C:\\ZvCancelled");  // no package left from an earlier run to resume
  const int reportsBefore = DemoReports();
  InstallerProcess installer(Installer());
  HWND wizard = WaitForWizard(20000);
  ASSERT_NE(wizard, nullptr);
  InstallInto(wizard, "C:\\ZvCancelled");
  EXPECT_EQ(VisibleChildren(wizard), kPage2);
  // Wait for the package download (served at 1 MB/s) to be under way.
  for (int i = 0; i < 100; ++i) {
    Sleep(50);
    if (SendMessageA(Child(wizard, 1002), PBM_GETPOS, 0, 0) > 0) break;
  }
  Click(wizard, 1000);
  EXPECT_TRUE(IsWindow(wizard)) << "the window waits for the worker";
  EXPECT_EQ(installer.Wait(20000), 0);
  EXPECT_EQ(DemoReports(), reportsBefore);
  EXPECT_TRUE(PathExists("C:\\ZvCancelled\\Zuvuva\\zuvuva.pak")) << "the partial package stays for a resume";
  std::string config;
  ASSERT_TRUE(ReadTestFile("C:\\ZvCancelled\\Zuvuva\\wbConfig.ini", &config));
  EXPECT_EQ(config, "[WBID]\r\nID=1\r\n[WBURL]\r\nURL=http://127.0.0.1:8451\r\n[Area]\r\nAreaID=25\r\n");
}

}  // namespace
