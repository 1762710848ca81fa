// The installer as a process: one instance at a time, exit code 0 on every path.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/app/wizard_driver.h"
#include "tests/support/test_files.h"

namespace {

std::string InstallerPath() { return HostPathFromEnvironment("ZV_INSTALLER"); }

const char kTitle[] = "Zuvuva在线安装";

TEST(InstallerProcess, SecondInstanceShowsTheNoticeAndLeavesTheFirst) {
  InstallerProcess first(InstallerPath());
  ASSERT_TRUE(first.started()) << InstallerPath();
  HWND window = WaitForWindow(kTitle, kTitle, 10000);
  ASSERT_NE(window, nullptr);

  InstallerProcess second(InstallerPath());
  ASSERT_TRUE(second.started());
  HWND box = WaitForWindow("#32770", "提示", 10000);
  ASSERT_NE(box, nullptr);
  DWORD owner = 0;
  GetWindowThreadProcessId(box, &owner);
  EXPECT_EQ(owner, second.id());
  EXPECT_EQ(BoxText(box), "应用程序已经在运行！");
  EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(second.Wait(10000), 0);

  // The first copy is undisturbed and still quits cleanly.
  EXPECT_EQ(first.Wait(0), -1);
  EXPECT_TRUE(IsWindow(window));
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.Wait(10000), 0);
}

// The worker's terminal states end the process with exit code 0.
TEST(InstallerProcess, TerminalStatesExitWithZero) {
  for (int finalState : {0, 7}) {
    InstallerProcess installer(InstallerPath());
    ASSERT_TRUE(installer.started());
    HWND window = WaitForWindow(kTitle, kTitle, 10000);
    ASSERT_NE(window, nullptr);
    PostMessageA(window, 20001, 0, 8);  // ignored
    PostMessageA(window, 20001, 0, 4);
    PostMessageA(window, 20001, 0, finalState);
    EXPECT_EQ(installer.Wait(20000), 0) << finalState;
  }
}

}  // namespace
