#include "app/text_fit_win32.h"

#include <algorithm>
#include <string>

namespace sk720 {

namespace {

constexpr int kNarrowestPercent = 75;

std::wstring classOf(HWND w) {
  wchar_t cls[32] = {};
  GetClassNameW(w, cls, 32);
  return cls;
}

std::wstring textOf(HWND w) {
  std::wstring s(size_t(GetWindowTextLengthW(w)) + 1, L'\0');
  s.resize(size_t(GetWindowTextW(w, s.data(), int(s.size()))));
  return s;
}

int textWidth(HDC dc, const std::wstring& s) {
  SIZE size = {};
  GetTextExtentPoint32W(dc, s.c_str(), int(s.size()), &size);
  return int(size.cx);
}

// The widest text the control shows and the room it has for it, in pixels; 0 room: not a text
// control this step looks after.
struct Need {
  int text = 0, room = 0;
  bool combo = false;
};

Need needOf(HWND w, HDC dc) {
  const std::wstring cls = classOf(w);
  RECT r = {};
  GetClientRect(w, &r);
  const int width = int(r.right - r.left);
  if (lstrcmpiW(cls.c_str(), L"ComboBox") == 0) {
    COMBOBOXINFO info = {};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(w, &info)) return {};
    int widest = 0;
    const int count = int(SendMessageW(w, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      const int len = int(SendMessageW(w, CB_GETLBTEXTLEN, WPARAM(i), 0));
      if (len <= 0) continue;
      std::wstring item(size_t(len) + 1, L'\0');
      SendMessageW(w, CB_GETLBTEXT, WPARAM(i), LPARAM(item.data()));
      item.resize(size_t(len));
      widest = std::max(widest, textWidth(dc, item));
    }
    return {widest, int(info.rcItem.right - info.rcItem.left) - 4, true};
  }
  const std::wstring text = textOf(w);
  if (text.empty()) return {};
  if (lstrcmpiW(cls.c_str(), L"Static") == 0) return {textWidth(dc, text), width};
  if (lstrcmpiW(cls.c_str(), L"Button") != 0) return {};
  const LONG type = GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK;
  int margin = 8;                                                   // a push button's edges
  if (type == BS_GROUPBOX) margin = 18;                             // the frame's corner and gaps
  if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX) margin = 26;  // the box and its gap
  return {textWidth(dc, text), width - margin};
}

}  // namespace

void condenseTextsThatDoNotFit(HWND parent, HFONT font, std::vector<HFONT>& made) {
  HDC dc = GetDC(parent);
  if (!dc) return;
  const HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm = {};
  GetTextMetricsW(dc, &tm);
  LOGFONTW base = {};
  GetObjectW(font, sizeof base, &base);
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const Need n = needOf(c, dc);
    if (n.room <= 0 || n.text <= n.room) continue;
    // An open list shows its items whole, whatever the closed field can.
    if (n.combo) SendMessageW(c, CB_SETDROPPEDWIDTH, WPARAM(n.text) + 24, 0);
    const int percent = std::max(kNarrowestPercent, n.room * 100 / n.text);
    LOGFONTW lf = base;
    lf.lfWidth = std::max(1L, LONG(tm.tmAveCharWidth) * percent / 100);
    HFONT narrow = CreateFontIndirectW(&lf);
    if (!narrow) continue;
    made.push_back(narrow);
    SendMessageW(c, WM_SETFONT, WPARAM(narrow), FALSE);
  }
  SelectObject(dc, old);
  ReleaseDC(parent, dc);
}

}  // namespace sk720
