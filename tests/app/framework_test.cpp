// The window-object framework and the worker notifications, in a real window.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/qv_win32_dialog.h"
#include "app/window_registry.h"
#include "wizard/setup_messages.h"
#include "wizard/wizard_timers.h"

namespace {

// The wizard's dispatch with OnCreate replaced by a probe: it records when it
// runs and what the framework had done by then, and makes a progress bar.
class ProbeDialog : public qvWin32Dialog {
 public:
  explicit ProbeDialog(HINSTANCE instance) : qvWin32Dialog(instance) {}

  bool OnCreate() override {
    ++onCreateCalls;
    registeredAtOnCreate = WindowRegistry::Lookup(hwnd) == this;
    visibleAtOnCreate = IsWindowVisible(hwnd) != FALSE;
    inOnCreate = true;
    // Creating a child sends WM_PARENTNOTIFY to this window.
    progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 16, hwnd, nullptr,
                                  hInstance, nullptr);
    SendMessageA(progressBar, PBM_SETRANGE32, 0, 100);
    inOnCreate = false;
    return onCreateResult;
  }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    if (inOnCreate) messagesDuringOnCreate.push_back(message);
    return qvWin32Dialog::WindowProc(message, wParam, lParam);
  }

  int onCreateCalls = 0;
  bool onCreateResult = true;
  bool registeredAtOnCreate = false;
  bool visibleAtOnCreate = true;
  bool inOnCreate = false;
  std::vector<UINT> messages;
  std::vector<UINT> messagesDuringOnCreate;
};

const RECT kRect = {0, 0, 455, 325};

// Dispatches what is queued; true when a quit request was among it.
bool Pump() {
  bool quit = false;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      quit = true;
      continue;
    }
    DispatchMessageA(&msg);
  }
  return quit;
}

bool Contains(const std::vector<UINT>& list, UINT message) {
  return std::find(list.begin(), list.end(), message) != list.end();
}

class FrameworkTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Pump();
    WindowRegistry::Release();
  }
};

TEST_F(FrameworkTest, OnCreateRunsOnceRegisteredAndBeforeShowing) {
  ProbeDialog dialog(GetModuleHandleA(nullptr));
  ASSERT_TRUE(dialog.Create("ZvProbeA", "probe", WS_VISIBLE, kRect));
  EXPECT_EQ(dialog.onCreateCalls, 1);
  EXPECT_TRUE(dialog.registeredAtOnCreate);
  EXPECT_FALSE(dialog.visibleAtOnCreate);
  EXPECT_TRUE(IsWindowVisible(dialog.hwnd));
  EXPECT_FALSE(Contains(dialog.messages, WM_CREATE));
  EXPECT_FALSE(Contains(dialog.messages, WM_NCCREATE));
  EXPECT_TRUE(Contains(dialog.messagesDuringOnCreate, WM_PARENTNOTIFY));
  RECT window;
  GetWindowRect(dialog.hwnd, &window);
  EXPECT_EQ(window.right - window.left, 455);
  EXPECT_EQ(window.bottom - window.top, 325);
  EXPECT_EQ(GetWindowLongA(dialog.hwnd, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);
  char className[64];
  GetClassNameA(dialog.hwnd, className, sizeof className);
  EXPECT_STREQ(className, "ZvProbeA");
  DestroyWindow(dialog.hwnd);
  EXPECT_TRUE(Pump());  // WM_DESTROY asked to quit
}

TEST_F(FrameworkTest, StyleWithoutVisibleLeavesTheWindowHidden) {
  ProbeDialog dialog(GetModuleHandleA(nullptr));
  ASSERT_TRUE(dialog.Create("ZvProbeB", "probe", WS_OVERLAPPEDWINDOW, kRect));
  EXPECT_FALSE(IsWindowVisible(dialog.hwnd));
}

TEST_F(FrameworkTest, FailingOnCreateKeepsTheWindowHiddenAndRegistered) {
  ProbeDialog dialog(GetModuleHandleA(nullptr));
  dialog.onCreateResult = false;
  EXPECT_FALSE(dialog.Create("ZvProbeC", "probe", WS_VISIBLE, kRect));
  ASSERT_NE(dialog.hwnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(dialog.hwnd));
  EXPECT_EQ(WindowRegistry::Lookup(dialog.hwnd), &dialog);
}

TEST_F(FrameworkTest, UnregisteredWindowStillQuitsOnDestroy) {
  ProbeDialog dialog(GetModuleHandleA(nullptr));
  ASSERT_TRUE(dialog.Create("ZvProbeD", "probe", 0, kRect));
  WindowRegistry::Remove(dialog.hwnd);
  Pump();
  const size_t seen = dialog.messages.size();
  DestroyWindow(dialog.hwnd);
  EXPECT_TRUE(Pump());
  EXPECT_EQ(dialog.messages.size(), seen);  // the fallback handled it
}

TEST_F(FrameworkTest, DestructorSetsTheCancelFlagAndLeavesTheRegistry) {
  HWND window;
  {
    ProbeDialog dialog(GetModuleHandleA(nullptr));
    ASSERT_TRUE(dialog.Create("ZvProbeE", "probe", 0, kRect));
    window = dialog.hwnd;
    EXPECT_FALSE(dialog.job.cancelRequested);
    EXPECT_EQ(dialog.state, 2);
    EXPECT_EQ(dialog.statusText, "正在读取配置文件");
    EXPECT_STREQ(dialog.agreeLabel, "已阅读并同意");
  }
  EXPECT_EQ(WindowRegistry::Lookup(window), nullptr);
  DestroyWindow(window);
}

TEST(SetupStatusText, Table) {
  const char* expected[] = {"错误，请重新下载", "", "正在读取配置文件", "正在获取版本信息",
                            "正在下载", "正在启动安装", "正在安装", "安装完成"};
  for (int i = 0; i < kSetupStateCount; ++i) EXPECT_STREQ(SetupStatusText[i], expected[i]) << i;
}

class NotificationTest : public FrameworkTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dialog_.Create("ZvProbeN", "probe", WS_VISIBLE, kRect));
    Pump();
  }
  bool Post(UINT message, int value) {
    PostMessageA(dialog_.hwnd, message, 0, (LPARAM)value);
    return Pump();
  }
  int BarPosition() { return (int)SendMessageA(dialog_.progressBar, PBM_GETPOS, 0, 0); }

  ProbeDialog dialog_{GetModuleHandleA(nullptr)};
};

TEST_F(NotificationTest, KeepsStateTextAndPercentage) {
  struct Step {
    UINT message;
    int value;
    int state;
    const char* text;
    int progress;
  };
  const Step steps[] = {
      {WM_SETUP_STATE, 2, 2, "正在读取配置文件", 0},
      {WM_SETUP_PROGRESS, 40, 2, "正在读取配置文件", 40},
      {WM_SETUP_STATE, 4, 4, "正在下载", 40},
      {WM_SETUP_PROGRESS, 100, 4, "正在下载", 100},
      {WM_SETUP_STATE, 8, 4, "正在下载", 100},   // outside 0..7: ignored
      {WM_SETUP_STATE, -1, 4, "正在下载", 100},  // ignored
      {WM_SETUP_STATE, 6, 6, "正在安装", 100},
      {WM_SETUP_PROGRESS, 0, 6, "正在安装", 0},
      {WM_SETUP_PROGRESS, 73, 6, "正在安装", 73},
  };
  for (const Step& step : steps) {
    EXPECT_FALSE(Post(step.message, step.value)) << step.value;
    EXPECT_EQ(dialog_.state, step.state);
    EXPECT_EQ(dialog_.statusText, step.text);
    EXPECT_EQ(dialog_.progress, step.progress);
    EXPECT_EQ(BarPosition(), step.progress);
  }
  // A stored percentage outside 0..100 stays as it came; the bar keeps its range.
  EXPECT_FALSE(Post(WM_SETUP_PROGRESS, 150));
  EXPECT_EQ(dialog_.progress, 150);
  EXPECT_EQ(BarPosition(), 100);
}

TEST_F(NotificationTest, StateZeroQuits) {
  EXPECT_TRUE(Post(WM_SETUP_STATE, 0));
  EXPECT_EQ(dialog_.statusText, "错误，请重新下载");
}

TEST_F(NotificationTest, StateSevenReportsAndQuits) {
  EXPECT_TRUE(Post(WM_SETUP_STATE, 7));
  EXPECT_EQ(dialog_.statusText, "安装完成");
  // The closing 6 behind it only changes the text.
  EXPECT_FALSE(Post(WM_SETUP_STATE, 6));
  EXPECT_EQ(dialog_.statusText, "正在安装");
}

// A worker that ends on state 6 (an entry without a command) closes the wizard.
TEST_F(NotificationTest, WorkerEndingOnStateSixClosesTheWizard) {
  dialog_.job.thread = CreateThread(nullptr, 0, [](void*) -> DWORD { return 0; }, nullptr, 0, nullptr);
  ASSERT_NE(dialog_.job.thread, nullptr);
  EXPECT_FALSE(Post(WM_SETUP_STATE, 6));
  bool quit = false;
  for (int i = 0; i < 40 && !quit; ++i) {
    Sleep(50);
    quit = Pump();
  }
  EXPECT_TRUE(quit);
}

TEST_F(NotificationTest, StateSixWhileTheWorkerRunsKeepsTheWizard) {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  dialog_.job.thread = CreateThread(
      nullptr, 0, [](void* event) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(event), 10000); }, release, 0,
      nullptr);
  EXPECT_FALSE(Post(WM_SETUP_STATE, 6));
  bool quit = false;
  for (int i = 0; i < 10 && !quit; ++i) {
    Sleep(50);
    quit = Pump();
  }
  EXPECT_FALSE(quit);
  SetEvent(release);
  WaitForSingleObject(dialog_.job.thread, 5000);
  CloseHandle(release);
}

}  // namespace
