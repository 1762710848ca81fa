#include "skin/skin_image.h"

#include <gdiplus.h>

#include <cstring>
#include <memory>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

// GDI+ start-up token and image count, under one lock.
class GdiplusState {
 public:
  GdiplusState() { InitializeCriticalSection(&lock_); }
  ~GdiplusState() {
    if (token_) GdiplusShutdown(token_);
    DeleteCriticalSection(&lock_);
  }
  void AddImage() {
    EnterCriticalSection(&lock_);
    ++images_;
    LeaveCriticalSection(&lock_);
  }
  void RemoveImage() {
    EnterCriticalSection(&lock_);
    if (--images_ == 0 && token_) {
      GdiplusShutdown(token_);
      token_ = 0;
    }
    LeaveCriticalSection(&lock_);
  }
  bool Start() {
    EnterCriticalSection(&lock_);
    if (!token_) {
      GdiplusStartupInput input;  // version 1, no callback, background thread, external codecs
      ULONG_PTR token = 0;
      if (GdiplusStartup(&token, &input, nullptr) == Ok) token_ = token;
    }
    const bool running = token_ != 0;
    LeaveCriticalSection(&lock_);
    return running;
  }
  bool Running() {
    EnterCriticalSection(&lock_);
    const bool running = token_ != 0;
    LeaveCriticalSection(&lock_);
    return running;
  }

 private:
  CRITICAL_SECTION lock_;
  ULONG_PTR token_ = 0;
  int images_ = 0;
};

GdiplusState& GdiplusProcess() {
  static GdiplusState state;
  return state;
}

// Memory DCs lent to images, kept for the next draw. Slots are only ever
// exchanged atomically.
class DcCache {
 public:
  ~DcCache() {
    for (auto& slot : slots_) {
      if (HDC dc = Exchange(slot, nullptr)) DeleteDC(dc);
    }
  }
  HDC Take() {
    for (auto& slot : slots_) {
      if (HDC dc = Exchange(slot, nullptr)) return dc;
    }
    return CreateCompatibleDC(nullptr);
  }
  void Give(HDC dc) {
    for (auto& slot : slots_) {
      dc = Exchange(slot, dc);
      if (!dc) return;
    }
    DeleteDC(dc);
  }

 private:
  static HDC Exchange(HDC volatile& slot, HDC value) {
    return static_cast<HDC>(InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&slot), value));
  }
  HDC volatile slots_[4] = {nullptr, nullptr, nullptr, nullptr};
};

DcCache& Dcs() {
  static DcCache cache;
  return cache;
}

const PixelFormat kGdiFlag = 0x20000;
const PixelFormat kAlphaFlag = 0x40000;
const PixelFormat kIndexedFlag = 0x10000;

}  // namespace

SkinImage::SkinImage()
    : bitmap(nullptr),
      width(0),
      height(0),
      bitsPerPixel(0),
      pitch(0),
      topRow(nullptr),
      hasAlpha(false),
      lentDC(nullptr),
      dcUses(0),
      savedObject(nullptr) {
  Dcs();  // the cache outlives every image
  GdiplusProcess().AddImage();
}

SkinImage::~SkinImage() {
  if (bitmap) DeleteObject(bitmap);
  GdiplusProcess().RemoveImage();
}

HRESULT SkinImage::LoadFromStream(IStream* stream) {
  if (!GdiplusProcess().Start()) return E_FAIL;
  GpBitmap* source = nullptr;
  if (GdipCreateBitmapFromStream(stream, &source) != Ok || !source) return E_FAIL;
  struct SourceGuard {
    GpBitmap* bitmap;
    ~SourceGuard() { GdipDisposeImage(bitmap); }
  } guard{source};

  PixelFormat format = 0;
  GdipGetImagePixelFormat(source, &format);
  int targetBits = 32;
  PixelFormat target = PixelFormat32bppRGB;
  bool alpha = false;
  if (format & kGdiFlag) {
    targetBits = (int)((format >> 8) & 0xFF);
    target = format;
  }
  if (format & kAlphaFlag) {
    targetBits = 32;
    target = PixelFormat32bppARGB;
    alpha = true;
  }

  UINT w = 0, h = 0;
  GdipGetImageWidth(source, &w);
  GdipGetImageHeight(source, &h);
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = (LONG)w;
  info.header.biHeight = (LONG)h;
  info.header.biPlanes = 1;
  info.header.biBitCount = (WORD)targetBits;
  info.header.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) return E_FAIL;
  if (bitmap) DeleteObject(bitmap);
  bitmap = dib;
  width = (int)w;
  height = (int)h;
  bitsPerPixel = targetBits;
  const int stride = ((width * bitsPerPixel + 31) / 32) * 4;
  topRow = static_cast<BYTE*>(bits) + (size_t)(height - 1) * stride;
  pitch = -stride;
  hasAlpha = alpha;

  if (format & kIndexedFlag) {
    INT size = 0;
    if (GdipGetImagePaletteSize(source, &size) == Ok && size > 0) {
      std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[size]);
      if (!buffer) return E_OUTOFMEMORY;
      ColorPalette* palette = reinterpret_cast<ColorPalette*>(buffer.get());
      if (GdipGetImagePalette(source, palette, size) == Ok) {
        RGBQUAD table[256] = {};
        const UINT count = palette->Count < 256 ? palette->Count : 256;
        for (UINT i = 0; i < count; ++i) {
          const ARGB c = palette->Entries[i];
          table[i] = {(BYTE)(c & 0xFF), (BYTE)((c >> 8) & 0xFF), (BYTE)((c >> 16) & 0xFF), 0};
        }
        HDC dc = AcquireDC();
        SetDIBColorTable(dc, 0, count, table);
        ReturnDC();
      }
    }
  }

  if (target == format) {
    BitmapData data = {};
    GpRect rect(0, 0, width, height);
    if (GdipBitmapLockBits(source, &rect, ImageLockModeRead, format, &data) != Ok) return E_OUTOFMEMORY;
    const size_t rowBytes = ((size_t)width * bitsPerPixel + 7) / 8;
    for (int y = 0; y < height; ++y) {
      memcpy(topRow + (ptrdiff_t)y * pitch, static_cast<BYTE*>(data.Scan0) + (ptrdiff_t)y * data.Stride, rowBytes);
    }
    GdipBitmapUnlockBits(source, &data);
  } else {
    GpBitmap* wrapper = nullptr;
    if (GdipCreateBitmapFromScan0(width, height, pitch, target, topRow, &wrapper) == Ok && wrapper) {
      GpGraphics* graphics = nullptr;
      if (GdipGetImageGraphicsContext(wrapper, &graphics) == Ok && graphics) {
        GdipDrawImageI(graphics, source, 0, 0);
        GdipDeleteGraphics(graphics);
      }
      GdipDisposeImage(wrapper);
    }
  }
  return S_OK;
}

HDC SkinImage::AcquireDC() const {
  ++dcUses;
  if (!lentDC) {
    lentDC = Dcs().Take();
    savedObject = SelectObject(lentDC, bitmap);
  }
  return lentDC;
}

void SkinImage::ReturnDC() const {
  if (--dcUses > 0 || !lentDC) return;
  SelectObject(lentDC, savedObject);
  Dcs().Give(lentDC);
  lentDC = nullptr;
  savedObject = nullptr;
}

BOOL SkinImage::DrawKeyed(HDC dest, int xDest, int yDest, int wDest, int hDest, int xSrc, int wSrc, int hSrc) const {
  HDC dc = AcquireDC();
  BOOL result;
  if (bitsPerPixel == 32) {
    // The key compares colours only; some GDI implementations also compare the
    // alpha byte of 32-bit sources. A 24-bit copy of the frame has none.
    result = FALSE;
    HDC copyDc = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), wSrc, hSrc, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP copy = copyDc ? CreateDIBSection(copyDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (copy) {
      HGDIOBJ previous = SelectObject(copyDc, copy);
      BitBlt(copyDc, 0, 0, wSrc, hSrc, dc, xSrc, 0, SRCCOPY);
      result = TransparentBlt(dest, xDest, yDest, wDest, hDest, copyDc, 0, 0, wSrc, hSrc, SKIN_KEY_COLOR);
      SelectObject(copyDc, previous);
      DeleteObject(copy);
    }
    if (copyDc) DeleteDC(copyDc);
  } else {
    result = TransparentBlt(dest, xDest, yDest, wDest, hDest, dc, xSrc, 0, wSrc, hSrc, SKIN_KEY_COLOR);
  }
  ReturnDC();
  return result;
}

BOOL SkinImage::DrawWhole(HDC dest, int wDest, int hDest, int wSrc, int hSrc) const {
  HDC dc = AcquireDC();
  BOOL result;
  if (hasAlpha) {
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    result = AlphaBlend(dest, 0, 0, wDest, hDest, dc, 0, 0, wSrc, hSrc, blend);
  } else {
    result = StretchBlt(dest, 0, 0, wDest, hDest, dc, 0, 0, wSrc, hSrc, SRCCOPY);
  }
  ReturnDC();
  return result;
}

COLORREF SkinImage::GetPixelColor(int x, int y) const {
  HDC dc = AcquireDC();
  const COLORREF color = GetPixel(dc, x, y);
  ReturnDC();
  return color;
}

void LoadResourceImage(HMODULE module, HRSRC resource, SkinImage& image) {
  HGLOBAL loaded = LoadResource(module, resource);
  if (!loaded) return;
  const DWORD size = SizeofResource(module, resource);
  const void* data = LockResource(loaded);
  if (!data) return;
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return;
  void* target = GlobalLock(copy);
  if (!target) {
    GlobalFree(copy);
    return;
  }
  memcpy(target, data, size);
  GlobalUnlock(copy);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    GlobalFree(copy);
    return;
  }
  image.LoadFromStream(stream);
  stream->Release();
}

BOOL ApplyImageRegion(HWND window, const SkinImage& image, int frameWidth) {
  if (!image.IsLoaded()) return FALSE;
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (!region) OutputDebugStringA("CreateRectRgn wndRgn ERROR");
  image.AcquireDC();  // one lent DC for the whole scan
  for (int y = 0; y < image.Height(); ++y) {
    int x = 0;
    while (x < frameWidth) {
      while (x < frameWidth && image.GetPixelColor(x, y) == SKIN_KEY_COLOR) ++x;
      if (x >= frameWidth) break;
      const int start = x;
      while (x < frameWidth && image.GetPixelColor(x, y) != SKIN_KEY_COLOR) ++x;
      HRGN run = CreateRectRgn(start, y, x, y + 1);
      if (!run) OutputDebugStringA("CreateRectRgn temp ERROR");
      if (CombineRgn(region, region, run, RGN_OR) == ERROR) OutputDebugStringA("CombineRgn ERROR");
      if (run) DeleteObject(run);
    }
  }
  image.ReturnDC();
  SetWindowRgn(window, region, TRUE);
  return TRUE;
}

bool SkinGdiplusRunning() { return GdiplusProcess().Running(); }
