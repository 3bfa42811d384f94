#include <windows.h>

#include "views/echo_trace_win32.h"

#include <objidl.h>

#include <gdiplus.h>  // after objidl.h, which it needs

#include <vector>

#include "app/app_data_win32.h"
#include "app/ui_text_win32.h"
#include "scan/overlay_texts.h"
#include "views/echo_trace.h"
#include "views/scan_view_win32.h"

namespace sk720 {

const wchar_t kEchoTraceClass[] = L"WOscClass";

namespace {

using namespace Gdiplus;

// Kept between paints: the polygon's storage and the off-screen bitmap.
struct EchoTraceState {
  std::vector<TracePoint> polygon;
  std::vector<Point> points;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  int32_t width = 0, height = 0;
  HFONT font = nullptr;
  GpsTextHistory gpsLines;
};

// The newest GPS text joins the history (see gpsTraceText).
void updateGpsLines(EchoTraceState& s, const AppData& a) {
  constexpr auto relaxed = std::memory_order_relaxed;
  GpsSnapshot fix;
  fix.lat = a.gps.lat.load(relaxed);
  fix.lon = a.gps.lon.load(relaxed);
  fix.pdop = a.gps.pdop.load(relaxed);
  fix.sig = a.gps.sig.load(relaxed);
  fix.fix = a.gps.fix.load(relaxed);
  std::string strip;
  formatGpsLine(fix, strip);
  const bool receiver = a.live.acq && a.live.acq->state.gpsReading.load();
  const std::string sentence = receiver ? a.live.acq->gpsSentence.get() : std::string();
  s.gpsLines.push(gpsTraceText(receiver, sentence, strip));
}

void ensureBitmap(EchoTraceState& s, HDC ref, int32_t w, int32_t h) {
  if (s.dc && s.width == w && s.height == h) return;
  if (s.dc) {
    SelectObject(s.dc, s.old);
    DeleteObject(s.bitmap);
    DeleteDC(s.dc);
  }
  s.dc = CreateCompatibleDC(ref);
  s.bitmap = CreateCompatibleBitmap(ref, w, h);
  s.old = SelectObject(s.dc, s.bitmap);
  s.width = w;
  s.height = h;
}

void drawTrace(EchoTraceState& s, const AppData& a, int32_t w, int32_t h) {
  GpGraphics* g = nullptr;
  if (DllExports::GdipCreateFromHDC(s.dc, &g) != Ok) return;
  DllExports::GdipSetSmoothingMode(g, SmoothingModeAntiAlias);
  DllExports::GdipGraphicsClear(g, 0xFF004080);

  const EchoTraceGrid grid = echoTraceGrid(w, h);
  GpPen* pen = nullptr;
  DllExports::GdipCreatePen1(0xFFFFFFFF, 1.0f, UnitPixel, &pen);
  DllExports::GdipSetPenDashStyle(pen, DashStyleDash);
  for (int32_t y : grid.gridY) DllExports::GdipDrawLineI(g, pen, w / 2, y, w, y);
  DllExports::GdipSetPenDashStyle(pen, DashStyleSolid);
  Point frame[4];
  for (int i = 0; i < 4; ++i) frame[i] = Point(grid.leftFrame[i].x, grid.leftFrame[i].y);
  DllExports::GdipDrawPolygonI(g, pen, frame, 4);
  for (int i = 0; i < 4; ++i) frame[i] = Point(grid.rightFrame[i].x, grid.rightFrame[i].y);
  DllExports::GdipDrawPolygonI(g, pen, frame, 4);
  DllExports::GdipDeletePen(pen);

  if (a.view.displayEnabled == 1 && a.store) {
    ScanView* scan = scanViewOf(a.scanWindow);
    const int32_t n = echoTraceSamples(scan ? scan->ui.displayRangeIndex : 6);
    const int32_t line = a.store->currentLineIndex.load();
    // Sampled without the line lock: a line being rewritten shows partly new
    // values for 50 ms.
    static thread_local std::vector<uint16_t> values;
    values.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i) values[size_t(i)] = a.store->load(line, i);
    echoTracePolygon(values.data(), n, w, h, s.polygon);
    s.points.resize(s.polygon.size());
    for (size_t i = 0; i < s.polygon.size(); ++i)
      s.points[i] = Point(s.polygon[i].x, s.polygon[i].y);
    GpSolidFill* fill = nullptr;
    DllExports::GdipCreateSolidFill(0xFFFFF200, &fill);
    DllExports::GdipFillPolygonI(g, fill, s.points.data(), INT(s.points.size()), FillModeAlternate);
    DllExports::GdipDeleteBrush(fill);
  }
  DllExports::GdipDeleteGraphics(g);

  if (!s.font) {
    s.font = CreateFontW(-10, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                         ANTIALIASED_QUALITY, 0, L"Segoe UI");
  }
  HGDIOBJ oldFont = SelectObject(s.dc, s.font);
  SetBkMode(s.dc, TRANSPARENT);
  SetTextColor(s.dc, RGB(255, 255, 255));
  updateGpsLines(s, a);
  for (size_t i = 0; i < s.gpsLines.size(); ++i) {
    const std::wstring text = widen(s.gpsLines.line(i));
    TextOutW(s.dc, 0, int(i) * GpsTextHistory::kLineHeight, text.c_str(), int(text.size()));
  }
  SelectObject(s.dc, oldFont);
}

void paint(HWND hwnd, EchoTraceState& s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  AppData* a = appDataOf(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  if (a && a->view.echogram != 0 && rc.right > 0 && rc.bottom > 0) {
    ensureBitmap(s, dc, rc.right, rc.bottom);
    drawTrace(s, *a, rc.right, rc.bottom);
    BitBlt(dc, 0, 0, rc.right, rc.bottom, s.dc, 0, 0, SRCCOPY);
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK echoTraceProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* s = reinterpret_cast<EchoTraceState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_CREATE:
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(new EchoTraceState()));
      SetTimer(hwnd, 1, 50, nullptr);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, 1);
      if (s) {
        if (s->dc) {
          SelectObject(s->dc, s->old);
          DeleteObject(s->bitmap);
          DeleteDC(s->dc);
        }
        if (s->font) DeleteObject(s->font);
        delete s;
      }
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return 0;
    case WM_TIMER:
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    case WM_USER:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (s) {
        paint(hwnd, *s);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

bool registerEchoTraceClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = echoTraceProc;
  wc.hInstance = instance;
  wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kEchoTraceClass;
  return RegisterClassExW(&wc) != 0;
}

}  // namespace sk720
