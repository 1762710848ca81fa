// The installer as a process: one instance at a time, exit code 0 on every path.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/test_files.h"

namespace {

std::string InstallerPath() { return HostPathFromEnvironment("ZV_INSTALLER"); }

const char kTitle[] = "Zuvuva在线安装";

class Process {
 public:
  explicit Process(const std::string& exe) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\"";
    started_ = CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_);
  }
  ~Process() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hProcess);
    CloseHandle(info_.hThread);
  }
  bool started() const { return started_; }
  // The exit code, or -1 when the process has not ended within `ms`.
  int Wait(DWORD ms) {
    if (WaitForSingleObject(info_.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return (int)code;
  }
  DWORD id() const { return info_.dwProcessId; }

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_ = {};
};

HWND WaitForWindow(const char* className, const char* title, DWORD ms) {
  for (DWORD waited = 0; waited < ms; waited += 50) {
    if (HWND window = FindWindowA(className, title)) return window;
    Sleep(50);
  }
  return nullptr;
}

std::string BoxText(HWND box) {
  std::string text;
  EnumChildWindows(
      box,
      [](HWND child, LPARAM found) -> BOOL {
        char className[32], buffer[512];
        GetClassNameA(child, className, sizeof className);
        if (_stricmp(className, "Static") == 0 && GetWindowTextA(child, buffer, sizeof buffer) > 0) {
          *reinterpret_cast<std::string*>(found) = buffer;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  return text;
}

TEST(InstallerProcess, SecondInstanceShowsTheNoticeAndLeavesTheFirst) {
  Process first(InstallerPath());
  ASSERT_TRUE(first.started()) << InstallerPath();
  HWND window = WaitForWindow(kTitle, kTitle, 10000);
  ASSERT_NE(window, nullptr);

  Process second(InstallerPath());
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
    Process installer(InstallerPath());
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
