// A system "button" child window turned into a skinned button drawn from a
// strip of four frames: normal, hover, pressed, disabled.
#pragma once

#include <windows.h>

#include "skin/skin_image.h"

class CWINButton {
 public:
  CWINButton();
  virtual ~CWINButton();
  CWINButton(const CWINButton&) = delete;
  CWINButton& operator=(const CWINButton&) = delete;

  // Subclasses `button`, makes it owner-drawn and gives it a provisional
  // rounded shape. FALSE when it is no window or cannot carry the property.
  BOOL Attach(HWND button);
  // Loads the strip from PNG resource `id`, sizes the window to one frame and
  // cuts its shape. false (nothing loaded) when disabled or not loadable.
  bool SetImage(HINSTANCE module, WORD id);
  void Enable(BYTE enable);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ButtonSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window;
  WNDPROC previousProc;
  SkinImage image;
  BOOL hover;
  BOOL pressed;
  BOOL enabled;
  BOOL focused;
  BOOL hasImage;
  char caption[256];
  BYTE handCursor;
  HPEN framePen;
  HPEN hotPens[4];    // left, right, top, bottom
  HPEN focusPens[4];  // left, right, top, bottom

  // The frame the flags select: 0 normal, 1 hover or focus, 2 pressed, 3 disabled.
  int Frame() const;

 private:
  void Repaint();
  void OnPaintMessage();
  int Paint(HDC dc);
  void DrawDefaultFace(HDC dc);
  void FillGradient(HDC dc, const RECT& inner);
  void DrawStateBorder(HDC dc, const RECT& inner);
  void DrawCaption(HDC dc, RECT area);
};
