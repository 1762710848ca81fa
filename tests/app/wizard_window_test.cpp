// The real wizard window in this process, against the demo publisher: the
// install-directory rules as the path field reports edits, wbConfig.ini, and
// the progress page's repaints.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/qv_win32_dialog.h"
#include "app/window_registry.h"
#include "tests/support/gdi_room.h"
#include "tests/support/test_files.h"
#include "wizard/setup_messages.h"

namespace {

class WizardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const RECT rect = {0, 0, 455, 325};
    ASSERT_TRUE(dialog_.Create("ZvWizardInProcess", "wizard", WS_VISIBLE, rect));
    Pump();
  }
  void TearDown() override {
    DestroyWindow(dialog_.hwnd);
    Pump();
    WindowRegistry::Release();
  }
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message != WM_QUIT) DispatchMessageA(&msg);
    }
  }
  // Types into the path field the way a user does.
  void Type(const std::string& text) {
    SendMessageA(dialog_.pathEdit, EM_SETSEL, 0, -1);
    SendMessageA(dialog_.pathEdit, WM_CHAR, VK_BACK, 0);
    for (unsigned char c : text) SendMessageA(dialog_.pathEdit, WM_CHAR, c, 0);
    Pump();
  }
  std::string FieldText() {
    char text[600] = {0};
    GetWindowTextA(dialog_.pathEdit, text, sizeof text);
    return text;
  }

  qvWin32Dialog dialog_{GetModuleHandleA(nullptr)};
};

TEST_F(WizardWindowTest, DefaultDirectoryAndDescriptorValues) {
  EXPECT_STREQ(dialog_.defaultDir, "C:\\Program Files\\Zuvuva\\");
  EXPECT_STREQ(dialog_.targetDir, dialog_.defaultDir);
  EXPECT_EQ(FieldText(), dialog_.defaultDir);
  EXPECT_FALSE(dialog_.pathInvalid);
  EXPECT_GT(dialog_.freeKB, 0);
  EXPECT_EQ(dialog_.requiredKB, 3 * 1024);
  EXPECT_EQ(SendMessageA(dialog_.pathEdit, EM_GETLIMITTEXT, 0, 0), 259 - 6);
  EXPECT_EQ(dialog_.page, PAGE_WELCOME);
}

TEST_F(WizardWindowTest, TypedAndChosenFolders) {
  Type("Z:\\Games");
  EXPECT_STREQ(dialog_.targetDir, "Z:\\Games\\Zuvuva\\");
  EXPECT_EQ(FieldText(), "Z:\\Games");  // the field keeps what was typed
  EXPECT_FALSE(dialog_.pathInvalid);

  Type("Z:\\Games\\Zuvuva");
  EXPECT_STREQ(dialog_.targetDir, "Z:\\Games\\Zuvuva\\");

  dialog_.freeKB = 12345;
  Type("Q:\\Missing");
  EXPECT_TRUE(dialog_.pathInvalid);
  EXPECT_STREQ(dialog_.targetDir, "Z:\\Games\\Zuvuva\\");
  EXPECT_EQ(dialog_.freeKB, 12345);

  // A folder chosen with Browse on a good drive clears the complaint.
  dialog_.AcceptChosenFolder("Z:\\tmp");
  EXPECT_FALSE(dialog_.pathInvalid);
  EXPECT_STREQ(dialog_.targetDir, "Z:\\tmp\\Zuvuva\\");
  EXPECT_EQ(FieldText(), "Z:\\tmp\\Zuvuva\\");
  dialog_.AcceptChosenFolder("Q:\\Missing");  // a drive that is not there changes nothing
  EXPECT_STREQ(dialog_.targetDir, "Z:\\tmp\\Zuvuva\\");

  // An empty field is no install directory.
  Type("");
  EXPECT_TRUE(dialog_.pathInvalid);

  // Restoring the default also forgets the complaint and measures again.
  dialog_.freeKB = 1;
  dialog_.RestoreDefaultDir();
  EXPECT_STREQ(dialog_.targetDir, "C:\\Program Files\\Zuvuva\\");
  EXPECT_EQ(FieldText(), "C:\\Program Files\\Zuvuva\\");
  EXPECT_FALSE(dialog_.pathInvalid);
  EXPECT_GT(dialog_.freeKB, 1);

  // The field cannot be typed past its width; a text of 260 characters or
  // more (pasted, say) is put back to the target.
  SetWindowTextA(dialog_.pathEdit, ("Z:\\" + std::string(260, 'x')).c_str());
  SendMessageA(dialog_.hwnd, WM_COMMAND, MAKEWPARAM(1011, EN_CHANGE), (LPARAM)dialog_.pathEdit);
  EXPECT_EQ(FieldText(), dialog_.targetDir);
}

TEST_F(WizardWindowTest, WbConfigRefreshesItsEntriesAndKeepsOthers) {
  TempDir dir;
  snprintf(dialog_.targetDir, sizeof dialog_.targetDir, "%s\\", dir.path().c_str());
  ASSERT_TRUE(WriteTestFile(dir.Join("wbConfig.ini"), "[Other]\r\nkeep=yes\r\n[WBID]\r\nID=7\r\n"));
  dialog_.WriteWbConfig();
  char value[64];
  const std::string ini = dir.Join("wbConfig.ini");
  GetPrivateProfileStringA("Other", "keep", "", value, sizeof value, ini.c_str());
  EXPECT_STREQ(value, "yes");
  GetPrivateProfileStringA("WBID", "ID", "", value, sizeof value, ini.c_str());
  EXPECT_STREQ(value, "1");
  GetPrivateProfileStringA("WBURL", "URL", "", value, sizeof value, ini.c_str());
  EXPECT_STREQ(value, "http://127.0.0.1:8451");
  GetPrivateProfileStringA("Area", "AreaID", "", value, sizeof value, ini.c_str());
  EXPECT_STREQ(value, "25");
}

// A long download repaints the percentage thousands of times.
TEST_F(WizardWindowTest, ProgressRepaintsLeaveNoGdiObjectBehind) {
  dialog_.page = PAGE_PROGRESS;
  dialog_.ShowPage();
  UpdateWindow(dialog_.hwnd);
  Pump();
  const int before = FreeGdiRoom();
  for (int i = 0; i < 2000; ++i) {
    PostMessageA(dialog_.hwnd, WM_SETUP_PROGRESS, 0, i % 101);
    Pump();
    UpdateWindow(dialog_.hwnd);
  }
  EXPECT_EQ(FreeGdiRoom(), before);
  EXPECT_EQ(dialog_.progress, 1999 % 101);
}

// Counts the pixels of the title text's colour in the title band.
int TitlePixels(HDC dc) {
  int count = 0;
  for (int y = 10; y < 41; ++y) {
    for (int x = 10; x < 200; ++x) count += GetPixel(dc, x, y) == RGB(237, 244, 255);
  }
  return count;
}

TEST_F(WizardWindowTest, MinimizedWindowPaintsNothing) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 503, 364);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all = {0, 0, 503, 364};
  FillRect(memory, &all, (HBRUSH)GetStockObject(BLACK_BRUSH));
  ShowWindow(dialog_.hwnd, SW_MINIMIZE);
  dialog_.OnPaint(memory);
  EXPECT_EQ(TitlePixels(memory), 0);
  ShowWindow(dialog_.hwnd, SW_RESTORE);
  Pump();
  ASSERT_FALSE(IsIconic(dialog_.hwnd));
  dialog_.OnPaint(memory);
  EXPECT_GT(TitlePixels(memory), 20);  // "Zuvuva安装程序" in the title colour
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

}  // namespace
