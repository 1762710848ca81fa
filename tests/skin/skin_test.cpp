// Resource images, keyed and whole drawing, regions, and the image button on
// a real window.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "skin/image_button.h"
#include "skin/skin_image.h"
#include "tests/support/gdi_room.h"

namespace {

enum : WORD { kRgb = 901, kRgba = 902, kRows = 903, kKeyed = 904, kStrip = 905, kAbsent = 999 };

bool Load(SkinImage& image, WORD id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
  if (!resource) return false;
  LoadResourceImage(module, resource, image);
  return image.IsLoaded();
}

// A 32-bit memory surface filled with one colour.
class Surface {
 public:
  Surface(int w, int h, COLORREF fill) : dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT all = {0, 0, w, h};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  ~Surface() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  COLORREF At(int x, int y) const { return GetPixel(dc_, x, y); }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

TEST(SkinImage, RgbAndRgbaResourcesAndAnAbsentOne) {
  SkinImage rgb, rgba, absent;
  ASSERT_TRUE(Load(rgb, kRgb));
  EXPECT_EQ(rgb.BitsPerPixel(), 24);
  EXPECT_FALSE(rgb.HasAlpha());
  EXPECT_EQ(rgb.Width(), 4);
  EXPECT_EQ(rgb.Height(), 2);
  EXPECT_EQ(rgb.GetPixelColor(1, 0), RGB(200, 100, 50));
  ASSERT_TRUE(Load(rgba, kRgba));
  EXPECT_EQ(rgba.BitsPerPixel(), 32);
  EXPECT_TRUE(rgba.HasAlpha());
  EXPECT_FALSE(Load(absent, kAbsent));
  EXPECT_FALSE(absent.IsLoaded());
  // A type name the executable does not have finds nothing either.
  EXPECT_EQ(FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kRgb), "Icon"), nullptr);
}

// StretchBlt copies; AlphaBlend adds a transparent pixel's colour to what is below.
TEST(SkinImage, DrawWholeBlendsOnlyImagesWithAlpha) {
  SkinImage rgb, rgba;
  ASSERT_TRUE(Load(rgb, kRgb));
  ASSERT_TRUE(Load(rgba, kRgba));
  Surface a(4, 2, RGB(0, 0, 255)), b(4, 2, RGB(0, 0, 255));
  EXPECT_TRUE(rgb.DrawWhole(a.dc(), 4, 2, 4, 2));
  EXPECT_EQ(a.At(1, 0), RGB(200, 100, 50));
  EXPECT_EQ(a.At(0, 0), RGB(10, 20, 30));
  EXPECT_TRUE(rgba.DrawWhole(b.dc(), 4, 2, 4, 2));
  EXPECT_EQ(b.At(1, 0), RGB(10, 20, 30));  // opaque: a plain copy
  // The transparent pixel comes out as AlphaBlend makes it, not as a copy.
  Surface blended(4, 2, RGB(0, 0, 255)), copied(4, 2, RGB(0, 0, 255));
  HDC source = rgba.AcquireDC();
  const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(blended.dc(), 0, 0, 4, 2, source, 0, 0, 4, 2, blend);
  StretchBlt(copied.dc(), 0, 0, 4, 2, source, 0, 0, 4, 2, SRCCOPY);
  rgba.ReturnDC();
  ASSERT_NE(blended.At(0, 0), copied.At(0, 0));
  EXPECT_EQ(b.At(0, 0), blended.At(0, 0));
}

TEST(SkinImage, DrawKeyedSkipsExactlyTheKeyColour) {
  SkinImage keyed;
  ASSERT_TRUE(Load(keyed, kKeyed));
  Surface s(3, 1, RGB(1, 2, 3));
  EXPECT_TRUE(keyed.DrawKeyed(s.dc(), 0, 0, 3, 1, 0, 3, 1));
  EXPECT_EQ(s.At(0, 0), RGB(1, 2, 3));  // key colour, half transparent: skipped
  EXPECT_EQ(s.At(1, 0), RGB(254, 0, 255));
  EXPECT_EQ(s.At(2, 0), RGB(1, 2, 3));
}

std::vector<RECT> RegionRects(HWND window) {
  std::vector<RECT> rects;
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (GetWindowRgn(window, region) != ERROR) {
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.get());
    if (GetRegionData(region, size, data) == size) {
      const RECT* r = reinterpret_cast<const RECT*>(data->Buffer);
      rects.assign(r, r + data->rdh.nCount);
    }
  }
  DeleteObject(region);
  return rects;
}

bool SameRects(const std::vector<RECT>& got, const std::vector<RECT>& want) {
  if (got.size() != want.size()) return false;
  for (size_t i = 0; i < got.size(); ++i) {
    if (!EqualRect(&got[i], &want[i])) return false;
  }
  return true;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExA(0, "STATIC", "skin test", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }
  // Each child gets a place of its own, so that reading one never sees another.
  HWND Child(int w = 100, int h = 30) {
    const int y = 5 + 40 * children_++;
    return CreateWindowExA(0, "button", "", WS_CHILD | WS_VISIBLE, 10, y, w, h, parent_, (HMENU)1000, nullptr,
                           nullptr);
  }
  int children_ = 0;
  static void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
  static COLORREF Pixel(HWND window, int x, int y) {
    UpdateWindow(window);
    Pump();
    HDC dc = GetDC(window);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return c;
  }
  HWND parent_ = nullptr;
};

TEST_F(WindowTest, RegionRunsFollowTheKeyColour) {
  SkinImage rows, plain;
  ASSERT_TRUE(Load(rows, kRows));
  ASSERT_TRUE(Load(plain, kRgb));
  HWND a = Child(), b = Child();
  EXPECT_TRUE(ApplyImageRegion(a, rows, 8));
  EXPECT_TRUE(SameRects(RegionRects(a), {{0, 0, 8, 1}, {0, 2, 3, 3}, {4, 2, 8, 3}}));
  EXPECT_TRUE(ApplyImageRegion(b, plain, 4));
  EXPECT_TRUE(SameRects(RegionRects(b), {{0, 0, 4, 2}}));
  SkinImage empty;
  EXPECT_FALSE(ApplyImageRegion(b, empty, 4));
  EXPECT_TRUE(SameRects(RegionRects(b), {{0, 0, 4, 2}}));
}

TEST(SkinImage, LastImageShutsGdiplusDown) {
  {
    SkinImage first;
    ASSERT_TRUE(Load(first, kRgb));
    EXPECT_TRUE(SkinGdiplusRunning());
  }
  EXPECT_FALSE(SkinGdiplusRunning());
  SkinImage again;
  ASSERT_TRUE(Load(again, kRgb));
  EXPECT_TRUE(SkinGdiplusRunning());
}

const COLORREF kFrames[4] = {RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200), RGB(120, 120, 120)};

TEST_F(WindowTest, ButtonFacesFollowTheTable) {
  CWINButton button;
  HWND window = Child(200, 50);
  ASSERT_TRUE(button.Attach(window));
  EXPECT_NE(GetWindowLongA(window, GWL_STYLE) & BS_OWNERDRAW, 0);
  ASSERT_TRUE(button.SetImage(GetModuleHandleA(nullptr), kStrip));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 83);
  EXPECT_EQ(client.bottom, 23);
  EXPECT_TRUE(SameRects(RegionRects(window), {{0, 0, 83, 23}}));
  EXPECT_EQ(Pixel(window, 41, 11), kFrames[0]);

  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(Pixel(window, 41, 11), kFrames[1]);
  SendMessageA(window, WM_MOUSELEAVE, 0, 0);
  SendMessageA(window, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(Pixel(window, 41, 11), kFrames[1]);  // focus looks like hover
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  EXPECT_EQ(Pixel(window, 41, 11), kFrames[2]);  // pressed over hover and focus
  button.Enable(0);
  EXPECT_EQ(Pixel(window, 41, 11), kFrames[3]);  // disabled over pressed
  button.Enable(1);
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  ReleaseCapture();
  SendMessageA(window, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(Pixel(window, 41, 11), kFrames[0]);
  // Keyboard input never changes the face.
  SendMessageA(window, WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_EQ(button.Frame(), 0);
}

TEST_F(WindowTest, SetImageOnADisabledButtonLoadsNothing) {
  CWINButton button;
  HWND window = Child();
  ASSERT_TRUE(button.Attach(window));
  button.Enable(0);
  EXPECT_FALSE(button.SetImage(GetModuleHandleA(nullptr), kStrip));
  EXPECT_FALSE(button.image.IsLoaded());
}

// Without its resource the button keeps its size and rounded shape and draws
// the default face, with the hot border under the mouse and the focus border.
TEST_F(WindowTest, MissingResourceGivesTheDefaultFace) {
  CWINButton button;
  HWND window = Child(100, 30);
  ASSERT_TRUE(button.Attach(window));
  EXPECT_FALSE(button.SetImage(GetModuleHandleA(nullptr), kAbsent));
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 100);
  EXPECT_EQ(client.bottom, 30);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_EQ(GetWindowRgn(window, region), COMPLEXREGION);  // rounded corners
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_TRUE(PtInRegion(region, 50, 15));
  DeleteObject(region);

  const COLORREF plain = Pixel(window, 50, 15);
  EXPECT_EQ(GetRValue(plain), GetGValue(plain));  // the grey-white gradient
  EXPECT_GE(GetRValue(plain), 234);
  SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(Pixel(window, 2, 15), RGB(250, 196, 88));
  SendMessageA(window, WM_MOUSELEAVE, 0, 0);
  SendMessageA(window, WM_SETFOCUS, 0, 0);
  EXPECT_EQ(Pixel(window, 3, 15), RGB(153, 198, 252));
  // The focus rectangle inverts the inner edge, across the border line.
  EXPECT_EQ(Pixel(window, 2, 15), RGB(255 - 153, 255 - 198, 255 - 252));
}

TEST_F(WindowTest, HandCursorOnlyWhereWantedAndEnabled) {
  CWINButton plain, disabled, hand;
  HWND a = Child(), b = Child(), c = Child();
  ASSERT_TRUE(plain.Attach(a));
  ASSERT_TRUE(disabled.Attach(b));
  ASSERT_TRUE(hand.Attach(c));
  const ULONG_PTR classCursor = GetClassLongPtrA(a, GCLP_HCURSOR);
  ASSERT_NE(classCursor, 0u);
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));

  SendMessageA(a, WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(GetClassLongPtrA(a, GCLP_HCURSOR), classCursor);
  disabled.handCursor = 1;
  disabled.Enable(0);
  SendMessageA(b, WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(GetClassLongPtrA(b, GCLP_HCURSOR), classCursor);
  EXPECT_NE(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));

  hand.handCursor = 1;
  SendMessageA(c, WM_MOUSEMOVE, 0, 0);
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));
  EXPECT_EQ(GetClassLongPtrA(a, GCLP_HCURSOR), 0u);  // gone for the whole class
  SetClassLongPtrA(a, GCLP_HCURSOR, classCursor);
}

// Every paint releases what it creates.
TEST_F(WindowTest, RepaintsLeaveNoGdiObjectBehind) {
  CWINButton withImage, withoutImage;
  HWND a = Child(), b = Child();
  ASSERT_TRUE(withImage.Attach(a));
  ASSERT_TRUE(withoutImage.Attach(b));
  ASSERT_TRUE(withImage.SetImage(GetModuleHandleA(nullptr), kStrip));
  Pixel(a, 1, 1);
  Pixel(b, 1, 1);
  const int before = FreeGdiRoom();
  ASSERT_GT(before, 1000);
  for (int i = 0; i < 10000; ++i) {
    for (HWND window : {a, b}) {
      InvalidateRect(window, nullptr, FALSE);
      UpdateWindow(window);
    }
  }
  EXPECT_EQ(FreeGdiRoom(), before);
  EXPECT_EQ(Pixel(a, 41, 11), kFrames[0]);
}

TEST_F(WindowTest, DestructionGivesTheWindowItsProcedureBack) {
  HWND window = Child();
  const LONG_PTR original = GetWindowLongPtrA(window, GWLP_WNDPROC);
  {
    CWINButton button;
    ASSERT_TRUE(button.Attach(window));
    EXPECT_NE(GetWindowLongPtrA(window, GWLP_WNDPROC), original);
    EXPECT_EQ(GetPropA(window, "CWINBUTTON"), &button);
  }
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC), original);
  EXPECT_FALSE(CWINButton().Attach(nullptr));
}

}  // namespace
