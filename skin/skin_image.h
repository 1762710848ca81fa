// Images decoded from PNG resources into GDI DIB sections, drawn colour-keyed
// or whole, and window regions cut from their key-colour pixels.
#pragma once

#include <windows.h>
#include <objidl.h>

// Pixels of exactly this colour are transparent to DrawKeyed and regions.
constexpr COLORREF SKIN_KEY_COLOR = RGB(255, 0, 255);

class SkinImage {
 public:
  SkinImage();
  ~SkinImage();
  SkinImage(const SkinImage&) = delete;
  SkinImage& operator=(const SkinImage&) = delete;

  bool IsLoaded() const { return bitmap != nullptr; }
  int Width() const { return width; }
  int Height() const { return height; }
  int BitsPerPixel() const { return bitsPerPixel; }
  bool HasAlpha() const { return hasAlpha; }

  // Decodes a PNG (or any format GDI+ reads) into the image.
  HRESULT LoadFromStream(IStream* stream);

  // TransparentBlt of the source rectangle (xSrc, 0, wSrc, hSrc), skipping
  // SKIN_KEY_COLOR pixels.
  BOOL DrawKeyed(HDC dest, int xDest, int yDest, int wDest, int hDest, int xSrc, int wSrc, int hSrc) const;
  // AlphaBlend for images with alpha, StretchBlt otherwise, at (0, 0).
  BOOL DrawWhole(HDC dest, int wDest, int hDest, int wSrc, int hSrc) const;
  COLORREF GetPixelColor(int x, int y) const;

  // Lend and return a memory DC with the bitmap selected; calls nest.
  HDC AcquireDC() const;
  void ReturnDC() const;

 private:
  HBITMAP bitmap;
  int width;
  int height;
  int bitsPerPixel;
  int pitch;
  BYTE* topRow;
  bool hasAlpha;
  mutable HDC lentDC;
  mutable int dcUses;
  mutable HGDIOBJ savedObject;
};

// Loads the resource (found under type "PNG") into `image` through a stream
// on a global memory copy. The image stays empty on any failure.
void LoadResourceImage(HMODULE module, HRSRC resource, SkinImage& image);

// Gives `window` the shape of the non-key pixels of the image's first frame
// (columns 0 to frameWidth - 1). FALSE for an empty image.
BOOL ApplyImageRegion(HWND window, const SkinImage& image, int frameWidth);

// Whether GDI+ is running for the images of this process.
bool SkinGdiplusRunning();
