// One paint of the scan view: convert and colour into the image bitmap, compose
// the visible part with the overlays off screen, one copy to the window, and
// the frame time now and then.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/app_data_win32.h"
#include "app/ui_text_win32.h"
#include "scan/scan_paint.h"
#include "views/scan_view_win32.h"

namespace sk720 {

namespace {

HBITMAP makeDib(HDC ref, int32_t w, int32_t h, uint32_t **bits) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h; // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void *p = nullptr;
  HBITMAP b = CreateDIBSection(ref, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t *>(p);
  return b;
}

void releaseImage(ScanSurfaces &s) {
  if (s.imageDC) {
    SelectObject(s.imageDC, s.imageOld);
    DeleteDC(s.imageDC);
  }
  if (s.imageBitmap)
    DeleteObject(s.imageBitmap);
  s.imageDC = nullptr;
  s.imageBitmap = nullptr;
  s.imagePixels = nullptr;
  s.imageSide = 0;
}

void releaseCompose(ScanSurfaces &s) {
  if (s.composeDC) {
    SelectObject(s.composeDC, s.composeOld);
    DeleteDC(s.composeDC);
  }
  if (s.composeBitmap)
    DeleteObject(s.composeBitmap);
  s.composeDC = nullptr;
  s.composeBitmap = nullptr;
  s.composePixels = nullptr;
  s.composeWidth = s.composeHeight = 0;
}

// True when the image surface is new (every pixel must be coloured).
bool ensureSurfaces(ScanSurfaces &s, HDC windowDC, int32_t side, int32_t w,
                    int32_t h) {
  bool fresh = false;
  if (s.imageSide != side) {
    releaseImage(s);
    s.imageBitmap = makeDib(windowDC, side, side, &s.imagePixels);
    if (s.imageBitmap) {
      s.imageDC = CreateCompatibleDC(windowDC);
      s.imageOld = SelectObject(s.imageDC, s.imageBitmap);
      s.imageSide = side;
      fresh = true;
    }
  }
  if (s.composeWidth != w || s.composeHeight != h) {
    releaseCompose(s);
    s.composeBitmap = makeDib(windowDC, w, h, &s.composePixels);
    if (s.composeBitmap) {
      s.composeDC = CreateCompatibleDC(windowDC);
      s.composeOld = SelectObject(s.composeDC, s.composeBitmap);
      s.composeWidth = w;
      s.composeHeight = h;
    }
  }
  return fresh;
}

double nowMs() {
  static LARGE_INTEGER frequency{};
  if (frequency.QuadPart == 0)
    QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void reportFrameTime(ScanView &v, const AppData &a, double startMs) {
  const DWORD now = GetTickCount();
  if (v.frameReported && now - v.lastFrameReportMs <= 2000)
    return;
  if (!v.frameReported) {
    // The first paint only starts the clock.
    v.frameReported = true;
    v.lastFrameReportMs = now;
    return;
  }
  v.lastFrameReportMs = now;
  const int ms = int(nowMs() - startMs);
  wchar_t text[32];
  wsprintfW(text, L"%dms", ms);
  setStatusPart(a.statusBar, 3, text);
}

} // namespace

void releaseScanSurfaces(ScanSurfaces &s) {
  releaseImage(s);
  releaseCompose(s);
}

void paintScanView(HWND hwnd, ScanView &v) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  AppData *a = appDataOf(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  const int32_t w = rc.right, h = rc.bottom;
  if (!a || a->view.displayEnabled != 1 || w <= 0 || h <= 0 ||
      v.image.imageSize <= 0) {
    EndPaint(hwnd, &ps);
    return;
  }
  const int32_t side = v.image.imageSize;
  const bool fresh = ensureSurfaces(v.surfaces, dc, side, w, h);
  ScanSurfaces &s = v.surfaces;
  if (!s.imagePixels || !s.composePixels) {
    EndPaint(hwnd, &ps);
    return;
  }
  const double start = nowMs();
  if (fresh)
    v.image.fullRedrawPending = 1;
  GdiFlush();
  paintScanImage(v.image, *a->store, a->view, a->inputs, GetTickCount(),
                 s.imagePixels);

  if (v.ui.dragging == 1)
    PatBlt(s.composeDC, 0, 0, w, h, BLACKNESS);
  const ImageOrigin o = visibleOrigin(v.ui, w, h);
  BitBlt(s.composeDC, 0, 0, w, h, s.imageDC, o.x, o.y, SRCCOPY);
  BitBlt(dc, 0, 0, w, h, s.composeDC, 0, 0, SRCCOPY);
  reportFrameTime(v, *a, start);
  EndPaint(hwnd, &ps);
}

} // namespace sk720
