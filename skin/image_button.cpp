#include "skin/image_button.h"

#include <cstring>

namespace {

const char kProperty[] = "CWINBUTTON";

HPEN Pen(int width, COLORREF color) { return CreatePen(PS_INSIDEFRAME, width, color); }

}  // namespace

CWINButton::CWINButton()
    : window(nullptr),
      previousProc(nullptr),
      hover(FALSE),
      pressed(FALSE),
      enabled(TRUE),
      focused(FALSE),
      hasImage(FALSE),
      caption(),
      handCursor(0),
      framePen(Pen(1, 0xFFFFFF)),
      hotPens{Pen(3, 0x58C4FA), Pen(3, 0x6ACAFB), Pen(2, 0x79D2FC), Pen(2, 0x0097E5)},
      focusPens{Pen(3, 0xFCC699), Pen(3, 0xFCBDA2), Pen(2, 0xFFC9A2), Pen(2, 0xFFC9A2)} {}

CWINButton::~CWINButton() {
  if (previousProc && IsWindow(window)) {
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
  }
  DeleteObject(framePen);
  for (HPEN pen : hotPens) DeleteObject(pen);
  for (HPEN pen : focusPens) DeleteObject(pen);
}

BOOL CWINButton::Attach(HWND button) {
  if (!IsWindow(button)) return FALSE;
  window = button;
  if (!SetPropA(window, kProperty, this)) {
    OutputDebugStringA("SetProp ERROR");
    return FALSE;
  }
  SetWindowLongA(window, GWL_STYLE, GetWindowLongA(window, GWL_STYLE) | BS_OWNERDRAW);
  RECT client;
  GetClientRect(window, &client);
  SetWindowRgn(window, CreateRoundRectRgn(client.left, client.top, client.right, client.bottom, 5, 5), TRUE);
  previousProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ButtonSubclassProc)));
  return TRUE;
}

bool CWINButton::SetImage(HINSTANCE module, WORD id) {
  if (!enabled) return false;
  if (HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), "PNG")) LoadResourceImage(module, resource, image);
  if (!image.IsLoaded()) return false;
  const int frameWidth = image.Width() / 4;
  SetWindowPos(window, HWND_TOP, 0, 0, frameWidth, image.Height(), SWP_NOMOVE | SWP_NOOWNERZORDER);
  ApplyImageRegion(window, image, frameWidth);
  Repaint();
  hasImage = TRUE;
  return true;
}

void CWINButton::Enable(BYTE enable) {
  enabled = enable != 0;
  EnableWindow(window, enable);
  Repaint();
}

int CWINButton::Frame() const {
  if (!enabled) return 3;
  if (pressed) return 2;
  if (hover || focused) return 1;
  return 0;
}

void CWINButton::Repaint() {
  RECT client;
  GetClientRect(window, &client);
  InvalidateRect(window, &client, TRUE);
}

LRESULT CALLBACK CWINButton::ButtonSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* button = static_cast<CWINButton*>(GetPropA(window, kProperty));
  if (!button) return DefWindowProcA(window, message, wParam, lParam);
  return button->HandleMessage(message, wParam, lParam);
}

LRESULT CWINButton::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFOCUS:
      focused = TRUE;
      Repaint();
      break;
    case WM_KILLFOCUS:
      focused = FALSE;
      Repaint();
      break;
    case WM_ENABLE:
      enabled = (BOOL)wParam;
      Repaint();
      break;
    case WM_PAINT:
      OnPaintMessage();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_CHAR:
    case WM_CLOSE:
      OutputDebugStringA("WM_CHAR");
      break;
    case WM_DRAWITEM:
      OutputDebugStringA("WM_DRAWITEM");
      break;
    case WM_MOUSEMOVE:
      if (!hover) {
        hover = TRUE;
        Repaint();
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        if (handCursor && enabled) {
          SetClassLongPtrA(window, GCLP_HCURSOR, 0);
          SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));  // IDC_HAND
        }
      }
      break;
    case WM_LBUTTONDOWN:
      pressed = TRUE;
      Repaint();
      break;
    case WM_LBUTTONUP:
      pressed = FALSE;
      Repaint();
      break;
    case WM_MOUSELEAVE:
      hover = FALSE;
      focused = FALSE;
      Repaint();
      break;
  }
  return CallWindowProcA(previousProc, window, message, wParam, lParam);
}

void CWINButton::OnPaintMessage() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  const int saved = SaveDC(dc);
  HRGN clip = CreateRectRgn(0, 0, 0, 0);
  GetWindowRgn(window, clip);
  if (SelectClipRgn(dc, clip) == ERROR) OutputDebugStringA("SelectClipRgn ERROR");
  Paint(dc);
  RestoreDC(dc, saved);
  EndPaint(window, &paint);
  DeleteObject(clip);
}

int CWINButton::Paint(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  RECT client;
  GetClientRect(window, &client);
  const int w = client.right - client.left;
  const int h = client.bottom - client.top;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) {
    OutputDebugStringA("Create MemDc ERROR");
    return 1;
  }
  const int saved = SaveDC(memory);
  SetBkMode(memory, TRANSPARENT);
  HBITMAP offscreen = CreateCompatibleBitmap(dc, w, h);
  SelectObject(memory, offscreen);

  if (!hasImage) {
    DrawDefaultFace(memory);
  } else {
    image.DrawKeyed(memory, 0, 0, w, h, Frame() * w, w, h);
    DrawCaption(memory, client);
  }
  BitBlt(dc, 0, 0, w, h, memory, 0, 0, SRCCOPY);

  RestoreDC(memory, saved);
  if (!DeleteDC(memory)) OutputDebugStringA("DeleteDC(hdcMem) ERROR");
  if (!DeleteObject(offscreen)) OutputDebugStringA("DeleteObject(bmp) ERROR");
  return 1;
}

void CWINButton::DrawCaption(HDC dc, RECT area) {
  char text[256];
  if (GetWindowTextA(window, text, sizeof text) != 0) memcpy(caption, text, sizeof caption);
  if (caption[0] == '\0') return;
  const COLORREF previous = SetTextColor(dc, enabled ? RGB(0, 0, 0) : GetSysColor(COLOR_GRAYTEXT));
  DrawTextA(dc, caption, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SetTextColor(dc, previous);
}

void CWINButton::DrawDefaultFace(HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  HGDIOBJ previousPen = SelectObject(dc, framePen);
  RoundRect(dc, client.left, client.top, client.right, client.bottom, 5, 5);
  SelectObject(dc, previousPen);

  RECT inner = client;
  InflateRect(&inner, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
  FillGradient(dc, inner);
  if (hover || focused) DrawStateBorder(dc, inner);
  if (pressed) {
    DrawCaption(dc, {client.left + 2, client.top + 2, client.right, client.bottom});
  } else {
    DrawCaption(dc, inner);
  }
}

void CWINButton::FillGradient(HDC dc, const RECT& inner) {
  const int w = inner.right - inner.left;
  const int h = inner.bottom - inner.top;
  HBRUSH brushes[64];
  for (int i = 0; i < 64; ++i) {
    const int c = hover ? 255 - i / 4 : 255 - i / 3;
    const int b = hover ? (focused ? 255 - i / 3 : 255 - i / 5) : (focused ? 255 - i / 4 : 255 - i / 5);
    brushes[i] = CreateSolidBrush(RGB(c, c, b));
  }
  if (h > 0) {
    for (int y = inner.top; y <= h + 2; ++y) {
      const int step = y * 63 / h < 63 ? y * 63 / h : 63;
      RECT row = {inner.left, y, w + 2, y + 1};
      FillRect(dc, &row, brushes[step]);
    }
  }
  for (HBRUSH brush : brushes) DeleteObject(brush);
}

void CWINButton::DrawStateBorder(HDC dc, const RECT& r) {
  HPEN* pens = (focused && !hover) ? focusPens : hotPens;
  POINT kept;
  MoveToEx(dc, r.left, r.bottom - 1, &kept);
  HGDIOBJ previousPen = SelectObject(dc, pens[0]);
  LineTo(dc, r.left, r.top + 1);
  SelectObject(dc, pens[1]);
  MoveToEx(dc, r.right - 1, r.bottom - 1, nullptr);
  LineTo(dc, r.right - 1, r.top);
  SelectObject(dc, pens[2]);
  MoveToEx(dc, r.left - 1, r.top, nullptr);
  LineTo(dc, r.right - 1, r.top);
  SelectObject(dc, pens[3]);
  MoveToEx(dc, r.left, r.bottom, nullptr);
  LineTo(dc, r.right - 1, r.bottom);
  SelectObject(dc, previousPen);
  MoveToEx(dc, kept.x, kept.y, nullptr);
  if (focused && !hover) DrawFocusRect(dc, &r);
}
