#pragma once
// The scan view window ("Radar scan"): the polar picture, repainted from its
// own 25 ms timer.
#include <windows.h>

#include <cstdint>

#include <memory>

#include "scan/overlay_frame.h"
#include "scan/scan_image.h"
#include "views/overlay_layer_win32.h"
#include "views/overlay_painter_win32.h"
#include "views/scan_interaction.h"

namespace sk720 {

extern const wchar_t kScanViewClass[];

bool registerScanViewClass(HINSTANCE instance);

// Off-screen surfaces kept from paint to paint; remade only when a size
// changes.
struct ScanSurfaces {
  HDC imageDC = nullptr;
  HBITMAP imageBitmap = nullptr;
  HGDIOBJ imageOld = nullptr;
  uint32_t* imagePixels = nullptr;
  int32_t imageSide = 0;
  HDC composeDC = nullptr;
  HBITMAP composeBitmap = nullptr;
  HGDIOBJ composeOld = nullptr;
  uint32_t* composePixels = nullptr;
  int32_t composeWidth = 0, composeHeight = 0;
  HDC stripDC = nullptr;  // the information strip: client width x 100, black under white text
  HBITMAP stripBitmap = nullptr;
  HGDIOBJ stripOld = nullptr;
  int32_t stripWidth = 0;
  bool stripDrawn = false;
};

struct ScanView {
  ScanImage image;
  ScanInteraction ui;
  int32_t screenshotRequested = 0;
  bool rebuildPending = false;  // a zoom or pan waits for the next paint
  HMENU contextMenu = nullptr;
  ScanSurfaces surfaces;
  OverlayState overlays;
  OverlayInput overlayInput;
  std::unique_ptr<OverlayPainterWin32> painter = std::make_unique<OverlayPainterWin32>();
  LabelSprites ringSprites;     // the range rings' labels, kept drawn one by one
  LabelSprites compassSprites;  // the compass labels, likewise
  DialPictures dialPictures;    // the heading dial, kept per heading
  CanvasParts parts;            // this paint's split of the canvas list
  OverlayList keptStrip;        // what the strip surface shows
  DWORD lastFrameReportMs = 0;
  bool frameReported = false;
};

ScanView* scanViewOf(HWND hwnd);

// The main window's layout moved or resized the view: rebuild for the new
// client size, keeping the pan. Nothing to do when the size is the one the
// geometry was built for, unless forced (settings that change the geometry).
void scanViewResized(HWND hwnd, int32_t width, int32_t height, bool force = false);

// Zoom and pan back to the data (sonar start, a playback file starts). UI
// thread only: other threads post kMsgViewReset.
void resetScanView(HWND hwnd);

// Paint steps (scan_paint_win32.cpp).
void paintScanView(HWND hwnd, ScanView& view);
void releaseScanSurfaces(ScanSurfaces& s);

}  // namespace sk720
