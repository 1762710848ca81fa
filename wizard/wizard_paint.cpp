// Painting the wizard window: background, title and the current page,
// composed off-screen and copied in one blit.
#include <windows.h>

#include <cstdio>

#include "app/qv_win32_dialog.h"
#include "skin/skin_image.h"
#include "wizard/install_directory.h"

#ifndef ZV_PRODUCT_NAME
#define ZV_PRODUCT_NAME "Zuvuva"
#endif

namespace {

const COLORREF kTitleColour = RGB(237, 244, 255);
const COLORREF kPageColour = RGB(26, 26, 26);

void Text(HDC dc, const char* text, RECT area, UINT flags = 0) { DrawTextA(dc, text, -1, &area, flags); }

// Formats `format` with the product name into a 260-byte buffer and draws it.
void ProductText(HDC dc, const char* format, RECT area, UINT flags = 0) {
  char text[260];
  snprintf(text, sizeof text, format, ZV_PRODUCT_NAME);
  Text(dc, text, area, flags);
}

void DrawPicture(const SkinImage& image, HDC dc, int x, int y) {
  if (image.IsLoaded()) image.DrawKeyed(dc, x, y, image.Width(), image.Height(), 0, image.Width(), image.Height());
}

HFONT SimSun(int height, int width, int weight) {
  return CreateFontA(height, width, 0, 0, weight, FALSE, FALSE, FALSE, 134, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     PROOF_QUALITY, FIXED_PITCH | FF_MODERN, "宋体");
}

}  // namespace

qvWin32Dialog::PageFonts::PageFonts()
    : title(SimSun(12, 6, 700)), heading(SimSun(14, 7, 700)), body(SimSun(12, 6, 0)) {}

qvWin32Dialog::PageFonts::~PageFonts() {
  DeleteObject(title);
  DeleteObject(heading);
  DeleteObject(body);
}

int qvWin32Dialog::OnPaint(HDC dc) {
  if (IsIconic(hwnd)) return 0;
  RECT client;
  GetClientRect(hwnd, &client);
  const int w = client.right, h = client.bottom;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP picture = CreateCompatibleBitmap(dc, w, h);
  HGDIOBJ previousBitmap = SelectObject(memory, picture);
  HGDIOBJ previousFont = SelectObject(memory, fonts.title);

  if (backgroundImage.IsLoaded()) {
    backgroundImage.DrawWhole(memory, backgroundImage.Width(), backgroundImage.Height(), backgroundImage.Width(),
                              backgroundImage.Height());
  }
  SetBkMode(memory, TRANSPARENT);
  SetTextColor(memory, kTitleColour);
  ProductText(memory, "%s安装程序", {10, 10, w, 41});

  if (page == PAGE_WELCOME) PaintWelcomePage(memory);
  if (page == PAGE_DIRECTORY) PaintDirectoryPage(memory);
  if (page == PAGE_PROGRESS) PaintProgressPage(memory);

  TransparentBlt(dc, 0, 0, w, h, memory, 0, 0, w, h, SKIN_KEY_COLOR);

  SelectObject(memory, previousFont);
  SelectObject(memory, previousBitmap);
  DeleteObject(picture);
  DeleteDC(memory);
  return 0;
}

void qvWin32Dialog::PaintWelcomePage(HDC dc) {
  RECT client;
  GetClientRect(hwnd, &client);
  const int W = client.right;
  DrawPicture(sideImage, dc, 5, 35);
  SelectObject(dc, fonts.heading);
  SetTextColor(dc, kPageColour);
  ProductText(dc, "%s安装向导", {187, 51, W, 82}, DT_VCENTER);
  SelectObject(dc, fonts.body);
  ProductText(dc, "欢迎使用“%s”安装向导", {187, 82, W, 113}, DT_VCENTER);
  ProductText(dc, "现在将安装%s及其组件到您的电脑中。", {187, 102, W, 133}, DT_VCENTER);
  Text(dc, "推荐您在继续安装前关闭所有其他应用程序。", {187, 122, W, 153}, DT_VCENTER);
  Text(dc, "单击“下一步”继续，或单击“取消”退出安装程序", {187, 162, W, 193}, DT_VCENTER);
  SetTextColor(dc, kPageColour);
  Text(dc, agreeLabel, {208, 223, 308, 243});
}

void qvWin32Dialog::PaintBannerHeading(HDC dc, const char* heading, const char* productLine) {
  SelectObject(dc, fonts.heading);
  SetTextColor(dc, kPageColour);
  Text(dc, heading, {20, 51, 120, 68});
  SelectObject(dc, fonts.body);
  ProductText(dc, productLine, {20, 72, 320, 89});
}

void qvWin32Dialog::PaintDirectoryPage(HDC dc) {
  DrawPicture(bannerImage, dc, 1, 35);
  DrawPicture(pathFrameImage, dc, 40, 206);
  DrawPicture(folderImage, dc, 46, 118);
  PaintBannerHeading(dc, "选择目标位置", "您将“%s”安装在什么地方");
  ProductText(dc, "安装程序将安装“%s”到下列文件夹中。", {76, 123, 376, 140});
  Text(dc, "单击“下一步”继续。如果您想选择其它文件夹，单击“浏览”", {47, 146, 647, 163});
  char line[260];
  const SpaceText required = FormatSpace(requiredKB);
  snprintf(line, sizeof line, "所需空间：%d%s", required.number, required.unit);
  Text(dc, line, {37, 278, 287, 298});
  const SpaceText available = FormatSpace(freeKB);
  snprintf(line, sizeof line, "可用空间：%d%s", available.number, available.unit);
  Text(dc, line, {37, 298, 287, 318});
}

void qvWin32Dialog::PaintProgressPage(HDC dc) {
  DrawPicture(bannerImage, dc, 1, 35);
  PaintBannerHeading(dc, "正在安装", "“%s”正在安装，请等候...");
  SetTextColor(dc, kPageColour);
  Text(dc, statusText.c_str(), statusRect);
  char percent[260] = {0};
  if (state >= 2 && state <= 4) snprintf(percent, sizeof percent, "已下载%d%%", progress);
  if (state >= 5 && state <= 7) snprintf(percent, sizeof percent, "已安装%d%%", progress);
  Text(dc, percent, percentRect, DT_RIGHT);
}
