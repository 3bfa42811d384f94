#include <windows.h>

#include "views/slider_bar_win32.h"

#include <windowsx.h>

#include "app/app_data_win32.h"
#include "views/slider_geometry.h"

namespace sk720 {

const wchar_t kSliderBarClass[] = L"RadarSliderbar class";

namespace {

void seek(HWND hwnd, int64_t request) {
  if (request == kNoSeekRequest)
    return;
  AppData *a = appDataOf(hwnd);
  if (a && a->playback)
    a->playback->seekRequest.store(request);
}

void fillRect(HDC dc, const RECT &r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(dc, &r, b);
  DeleteObject(b);
}

void paint(HWND hwnd, SliderState &s) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  const int32_t w = rc.right, h = rc.bottom;
  if (w > 0 && h > 0) {
    HDC mem = CreateCompatibleDC(dc);
    HBITMAP bmp = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(hwnd, &cursor);
    s.hover = s.thumbRect.contains(cursor.x, cursor.y) ? 1 : 0;
    fillRect(mem, rc, RGB(232, 232, 236));
    const SliderArrows arrows = sliderArrows(w, h);
    HBRUSH arrowBrush = CreateSolidBrush(RGB(180, 180, 185));
    HGDIOBJ oldBrush = SelectObject(mem, arrowBrush);
    HGDIOBJ oldPen = SelectObject(mem, GetStockObject(NULL_PEN));
    for (const SliderPoint *tri : {arrows.left, arrows.right}) {
      POINT p[3];
      for (int i = 0; i < 3; ++i)
        p[i] = {LONG(tri[i].x + 0.5f), LONG(tri[i].y + 0.5f)};
      Polygon(mem, p, 3);
    }
    SelectObject(mem, oldPen);
    SelectObject(mem, oldBrush);
    DeleteObject(arrowBrush);
    if (s.report.recordLength != 0) {
      const RECT t{s.thumbRect.left, s.thumbRect.top, s.thumbRect.right,
                   s.thumbRect.bottom};
      fillRect(mem, t, s.hover ? RGB(136, 136, 136) : RGB(180, 180, 185));
    }
    BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
  }
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK sliderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto *s =
      reinterpret_cast<SliderState *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  RECT rc{};
  GetClientRect(hwnd, &rc);
  switch (msg) {
  case WM_CREATE:
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, LONG_PTR(new SliderState()));
    return 0;
  case WM_DESTROY:
    delete s;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return 0;
  default:
    break;
  }
  if (!s)
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  switch (msg) {
  case WM_SIZE:
    if (s->report.recordLength != 0)
      computeSliderGeometry(*s, rc.right, rc.bottom);
    return 0;
  case WM_PAINT:
    paint(hwnd, *s);
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_MOUSEMOVE: {
    const int64_t r =
        sliderMouseMove(*s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                        (wParam & MK_LBUTTON) != 0, rc.right, rc.bottom);
    if (r != kNoSeekRequest) {
      seek(hwnd, r);
      InvalidateRect(hwnd, nullptr, FALSE);
    }
    return 0;
  }
  case WM_LBUTTONDOWN:
    if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON | MK_SHIFT |
                   MK_CONTROL)) == MK_LBUTTON) {
      seek(hwnd, sliderClick(*s, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                             rc.right, rc.bottom));
      InvalidateRect(hwnd, nullptr, FALSE);
    }
    return 0;
  case WM_LBUTTONUP:
    s->dragging = 0;
    return 0;
  case kMsgPlaybackReport: {
    auto *report = reinterpret_cast<PlaybackReport *>(lParam);
    if (report && sliderTakeReport(*s, *report, rc.right, rc.bottom)) {
      InvalidateRect(hwnd, nullptr, FALSE);
    }
    delete report; // always ours to free, also while dragging
    return 0;
  }
  default:
    break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

bool registerSliderBarClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = sliderProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = HBRUSH(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kSliderBarClass;
  return RegisterClassExW(&wc) != 0;
}

} // namespace sk720
