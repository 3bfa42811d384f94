// One paint of the scan view: convert and colour into the image bitmap, compose the visible part
// with the overlays off screen, one copy to the window, the frame time now and then, and a
// screenshot when one is due.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_data_win32.h"
#include "app/ui_text_win32.h"
#include "scan/overlay_raster.h"
#include "scan/scan_paint.h"
#include "views/dib_surface_win32.h"
#include "views/scan_view_win32.h"
#include "views/screenshot_win32.h"

namespace sk720 {

namespace {

namespace G = Gdiplus::DllExports;

// True when the image surface is new (every pixel must be coloured).
bool ensureSurfaces(ScanSurfaces& s, HDC windowDC, int32_t side, int32_t w, int32_t h) {
  bool fresh = false;
  if (s.imageSide != side) {
    freeSurface(s.imageDC, s.imageBitmap, s.imageOld);
    s.imageSide = 0;
    makeSurface(windowDC, side, side, s.imageDC, s.imageBitmap, s.imageOld, &s.imagePixels);
    if (s.imageDC) s.imageSide = side;
    fresh = true;
  }
  if (s.composeWidth != w || s.composeHeight != h) {
    freeSurface(s.composeDC, s.composeBitmap, s.composeOld);
    s.composeWidth = s.composeHeight = 0;
    makeSurface(windowDC, w, h, s.composeDC, s.composeBitmap, s.composeOld, &s.composePixels);
    if (s.composeDC) {
      s.composeWidth = w;
      s.composeHeight = h;
    }
  }
  if (s.stripWidth != w) {
    s.stripDrawn = false;
    freeSurface(s.stripDC, s.stripBitmap, s.stripOld);
    s.stripWidth = 0;
    uint32_t* bits = nullptr;
    makeSurface(windowDC, w, 100, s.stripDC, s.stripBitmap, s.stripOld, &bits);
    if (s.stripDC) s.stripWidth = w;
  }
  return fresh;
}

double nowMs() {
  static LARGE_INTEGER frequency{};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

void reportFrameTime(ScanView& v, const AppData& a, double startMs) {
  const DWORD now = GetTickCount();
  if (!v.frameReported) {
    v.frameReported = true;  // the first paint only starts the clock
    v.lastFrameReportMs = now;
    return;
  }
  if (now - v.lastFrameReportMs <= 2000) return;
  v.lastFrameReportMs = now;
  wchar_t text[32];
  wsprintfW(text, L"%dms", int(nowMs() - startMs));
  setStatusPart(a.statusBar, 3, text);
}

void gatherOverlayInput(ScanView& v, const AppData& a, int32_t w, int32_t h) {
  OverlayInput& in = v.overlayInput;
  fillOverlayInput(in, v.image, v.ui, a.view, a.inputs, *a.store, a.gps, w, h);
  in.device.tunable = a.tunable != 0;
  in.device.centralFrequency = a.sonar.centralFrequency;
  in.device.bandwidth = a.sonar.bandwidth;
  const bool live = a.live.acq && a.live.acq->state.workingRunning.load();
  in.statusVisible = a.playbackOpen || live ? 1 : 0;
  in.statusText = a.statusText.get();
}

Gdiplus::GpGraphics* graphicsOn(HDC dc) {
  Gdiplus::GpGraphics* g = nullptr;
  if (G::GdipCreateFromHDC(dc, &g) != Gdiplus::Ok) return nullptr;
  G::GdipSetSmoothingMode(g, Gdiplus::SmoothingModeHighQuality);
  return g;
}

// The strip: white text on black, OR-combined onto the top rows so the picture shows through.
void composeStrip(ScanView& v, const OverlayFrame& f, int32_t w) {
  ScanSurfaces& s = v.surfaces;
  if (!s.stripDC || f.strip.empty()) return;
  // Texts are slow to draw; the strip is drawn again only when one of them changed.
  if (!s.stripDrawn || !CanvasParts::sameList(v.keptStrip, f.strip)) {
    redrawStrip(*v.painter, s.stripDC, w, 100, v.keptStrip, f.strip, !s.stripDrawn);
    v.keptStrip.clear();
    for (const OverlayPrimitive& p : f.strip) v.keptStrip.push(p);
    s.stripDrawn = true;
  }
  BitBlt(s.composeDC, 0, 0, w, 100, s.stripDC, 0, 0, SRCPAINT);
}

// The whole square image with its overlays, saved as a PNG; the notice follows the paint.
void takeScreenshot(HWND hwnd, ScanView& v, AppData& a, HDC ref) {
  int32_t automatic = int32_t(a.screenshotRequest.load());
  const auto kind = takeScreenshotRequest(v.screenshotRequested, automatic);
  a.screenshotRequest.store(uint32_t(automatic));
  if (!kind) return;
  const int32_t side = v.image.imageSize;
  HDC dc = nullptr;
  HBITMAP bmp = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* pixels = nullptr;
  makeSurface(ref, side, side, dc, bmp, old, &pixels);
  ScreenshotResult result;
  if (dc) {
    BitBlt(dc, 0, 0, side, side, v.surfaces.imageDC, 0, 0, SRCCOPY);
    GdiFlush();
    // Drawn as the screen draws them, from this paint's split of the same frame: the strokes
    // straight into the pixels, the rest with GDI+.
    for (const OverlayPrimitive& p : v.parts.strokes)
      drawStroke({pixels, side, side, side}, p, 0, 0);
    if (Gdiplus::GpGraphics* g = graphicsOn(dc)) {
      for (const OverlayList* l : {&v.parts.ringLabels, &v.parts.compassLabels, &v.parts.rest}) {
        v.painter->paint(g, *l);
      }
      v.painter->paintScreenshotAdditions(g, side, v.overlays, v.overlayInput);
      G::GdipFlush(g, Gdiplus::FlushIntentionSync);
      G::GdipDeleteGraphics(g);
    }
    GdiFlush();
    const BITMAPINFO bi = dibInfo(side, side);
    result = saveScreenshot(a.workingFolder, *kind, &bi, pixels);
  } else {
    result.failure = ScreenshotFailure::FolderNotWritable;
  }
  freeSurface(dc, bmp, old);
  // Automatic screenshots stay silent; a manual one always says what became of it.
  if (*kind == ScreenshotKind::Manual) {
    PostMessageW(hwnd, kMsgScreenshotNotice, WPARAM(result.saved ? 1 : 0), LPARAM(result.failure));
  }
}

}  // namespace

void releaseScanSurfaces(ScanSurfaces& s) {
  freeSurface(s.imageDC, s.imageBitmap, s.imageOld);
  freeSurface(s.composeDC, s.composeBitmap, s.composeOld);
  freeSurface(s.stripDC, s.stripBitmap, s.stripOld);
  s.imageSide = s.composeWidth = s.composeHeight = s.stripWidth = 0;
}

void paintScanView(HWND hwnd, ScanView& v) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  AppData* a = appDataOf(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  const int32_t w = rc.right, h = rc.bottom;
  if (!a || a->view.displayEnabled != 1 || w <= 0 || h <= 0 || v.image.imageSize <= 0) {
    EndPaint(hwnd, &ps);  // nothing drawn: the previous picture stays
    return;
  }
  const bool fresh = ensureSurfaces(v.surfaces, dc, v.image.imageSize, w, h);
  ScanSurfaces& s = v.surfaces;
  if (!s.imagePixels || !s.composePixels) {
    EndPaint(hwnd, &ps);
    return;
  }
  const double start = nowMs();
  GdiFlush();
  // A screenshot takes the whole square, and a drag shows parts outside the window: those paints
  // convert every pixel. The others may leave the pixels outside the window to the next paint
  // (the view's timer brings it within 25 ms).
  const bool shoot = v.screenshotRequested != 0 || a->screenshotRequest.load() != 0;
  paintScanImage(v.image, *a->store, a->view, a->inputs, GetTickCount(), s.imagePixels, fresh,
                 !shoot && v.ui.dragging != 1);
  const double t1 = nowMs();

  gatherOverlayInput(v, *a, w, h);
  const OverlayFrame& f = buildOverlayFrame(v.overlays, v.overlayInput, GetTickCount());
  if (v.ui.dragging == 1) PatBlt(s.composeDC, 0, 0, w, h, BLACKNESS);
  const ImageOrigin o = visibleOrigin(v.ui, w, h);
  BitBlt(s.composeDC, 0, 0, w, h, s.imageDC, o.x, o.y, SRCCOPY);
  // The canvas overlays in image coordinates onto the visible window of it: the strokes drawn
  // straight into the frame, the labels blended from their sprites, then the rest with GDI+.
  GdiFlush();
  v.parts.split(f);
  const FrameView frame{s.composePixels, w, h, w};
  for (const OverlayPrimitive& p : v.parts.strokes) drawStroke(frame, p, -float(o.x), -float(o.y));
  v.ringSprites.compose(*v.painter, v.parts.ringLabels, dc, s.composePixels, w, h, o.x, o.y);
  v.compassSprites.compose(*v.painter, v.parts.compassLabels, dc, s.composePixels, w, h, o.x, o.y);
  if (!v.parts.rest.empty()) {
    if (Gdiplus::GpGraphics* g = graphicsOn(s.composeDC)) {
      v.painter->paint(g, v.parts.rest, -float(o.x), -float(o.y));
      G::GdipDeleteGraphics(g);
    }
  }
  const double t2 = nowMs();
  if (f.dialVisible) {
    GdiFlush();
    v.dialPictures.compose(*v.painter, f, s.composeDC, s.composePixels, w, h);
  }
  composeStrip(v, f, w);
  const double t3 = nowMs();
  BitBlt(dc, 0, 0, w, h, s.composeDC, 0, 0, SRCCOPY);
  // Every frame's stages, in microseconds, to the file SK720_FRAME_LOG names: for measurements.
  static FILE* const frameLog = [] {
    const char* path = getenv("SK720_FRAME_LOG");
    return path && *path ? std::fopen(path, "a") : nullptr;
  }();
  if (frameLog) {
    std::fprintf(frameLog, "%d %d %d %d\n", int((t1 - start) * 1000), int((t2 - t1) * 1000),
                 int((t3 - t2) * 1000), int((nowMs() - t3) * 1000));
    std::fflush(frameLog);
  }
  if (!f.distanceStatus.empty()) setStatusPart(a->statusBar, 2, widen(f.distanceStatus));
  if (shoot) takeScreenshot(hwnd, v, *a, dc);
  reportFrameTime(v, *a, start);
  EndPaint(hwnd, &ps);
}

}  // namespace sk720
