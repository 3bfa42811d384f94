// sk720drive: drives the real program from outside, one command per run, for the end-to-end tests.
// Prints one line (or one line per item) and exits 0 on success, 1 when what was waited for did
// not come before the deadline, 2 on a usage error, 3 when the target could not be reached.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "measure_win32.h"
#include "remote_win32.h"
#include "windows_win32.h"

using namespace sk720drive;

namespace {

constexpr int kOk = 0, kTimeout = 1, kUsage = 2, kFailed = 3;

const char kUsageText[] =
    "usage: sk720drive COMMAND [ARGS] [--timeout MS] [--scan] [--shift] [--index N] [--contains]\n"
    "       [--main CLASS] [--watch]\n"
    "  wait-window [CLASS [TITLE]]   wait-gone\n"
    "  status PART                   wait-status PART TEXT\n"
    "  find-child CLASS TEXT         wait-visible CLASS [TEXT]      text CLASS [TEXT]\n"
    "  click CLASS TEXT              command ID [--watch]           close\n"
    "  timed-click CLASS TEXT PART STATUS   (ms from the click until status part PART reads "
    "STATUS)\n"
    "  button-command CLASS TEXT     (the button's WM_COMMAND posted straight to the main window)\n"
    "  capture FILE [CLASS TEXT]     capture-dialog TITLE FILE      (what the screen shows, as "
    "BMP)\n"
    "  set-text CLASS TEXT NEWTEXT\n"
    "  --mark LOG with click or command: prints \"mark BEFORE AFTER\", the head log's record "
    "count\n"
    "  read just before and just after the post\n"
    "  children                      combos                        combo-items CLASS INDEX        "
    "combo-selection CLASS INDEX\n"
    "  combo-select CLASS INDEX ITEM trackbar INDEX                 check CLASS TEXT\n"
    "  rect [CLASS [TEXT]]           snapshot [CLASS [TEXT]]\n"
    "  key VK                        wheel DELTA [TIMES INTERVAL]   mouse down|up|move|rdown X Y\n"
    "  wait-dialog TITLE             wait-dialog-gone TITLE         dialog-text TITLE\n"
    "  press-dialog-button TITLE TEXT   dialog-set TITLE #ID|CLASS:N TEXT   dialog-get TITLE "
    "#ID|CLASS:N\n"
    "TEXT \"*\" matches any text; \\uXXXX escapes name characters.\n";

struct Options {
  std::vector<std::wstring> args;
  DWORD timeoutMs = 0;
  bool timeoutGiven = false;
  bool scan = false, shift = false, contains = false, watch = false;
  int index = 0;
  std::wstring markLog;  // the simulated head's log, read around a post
};

void say(const std::wstring& line) {
  const std::string bytes = toUtf8(line) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

// Posts through post, between two readings of the head's log when one is named.
bool markedPost(const Options& o, const std::function<bool()>& post) {
  if (o.markLog.empty()) return post();
  const int64_t before = headLogRecords(o.markLog);
  const bool ok = post();
  const int64_t after = headLogRecords(o.markLog);
  say(L"mark " + std::to_wstring(before) + L" " + std::to_wstring(after));
  return ok;
}

std::wstring hex(HWND w) {
  wchar_t buf[32];
  swprintf(buf, 32, L"0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(w)));
  return buf;
}

std::wstring withoutAmpersands(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s)
    if (c != L'&') out.push_back(c);
  return out;
}

const std::wstring& arg(const Options& o, size_t i) {
  static const std::wstring any = L"*";
  return i < o.args.size() ? o.args[i] : any;
}

// The main window, waited for up to the deadline (every command needs it).
HWND mainWindow(const Options& o) {
  HWND main = nullptr;
  pollUntil(o.timeoutMs, [&] { return (main = findMainWindow()) != nullptr; });
  return main;
}

HWND scanView(HWND main) {
  const auto hits = findChildren(main, kScanClass, L"*");
  return hits.empty() ? nullptr : hits.front();
}

// The --index'th child of the class with the text, polled until the deadline.
HWND child(HWND main, const Options& o, const std::wstring& cls, const std::wstring& text) {
  HWND hit = nullptr;
  pollUntil(o.timeoutMs, [&] {
    const auto hits = findChildren(main, cls, text);
    if (size_t(o.index) < hits.size()) hit = hits[size_t(o.index)];
    return hit != nullptr;
  });
  return hit;
}

HWND statusBar(HWND main) {
  const auto hits = findChildren(main, L"msctls_statusbar32", L"*");
  return hits.empty() ? nullptr : hits.front();
}

std::wstring rectLine(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  wchar_t buf[160];
  swprintf(buf, 160, L"%ld %ld %ld %ld %d 0x%08lx 0x%08lx", r.left, r.top, r.right, r.bottom,
           IsWindowVisible(w) ? 1 : 0, static_cast<unsigned long>(GetWindowLongW(w, GWL_STYLE)),
           static_cast<unsigned long>(GetWindowLongW(w, GWL_EXSTYLE)));
  return buf;
}

// A dialog item named "#ID" (a direct item) or "CLASS:N" (the N-th descendant of that class).
HWND dialogItem(HWND dialog, const std::wstring& name) {
  if (!name.empty() && name[0] == L'#')
    return GetDlgItem(dialog, int(wcstol(name.c_str() + 1, nullptr, 0)));
  const size_t colon = name.rfind(L':');
  const std::wstring cls = name.substr(0, colon);
  const size_t n =
      colon == std::wstring::npos ? 0 : size_t(wcstoul(name.c_str() + colon + 1, nullptr, 10));
  const auto hits = findChildren(dialog, cls, L"*");
  return n < hits.size() ? hits[n] : nullptr;
}

int waitStatus(HWND main, const Options& o) {
  const int part = _wtoi(arg(o, 1).c_str());
  const std::wstring want = arg(o, 2);
  std::wstring last;
  const bool ok = pollUntil(o.timeoutMs, [&] {
    const HWND bar = statusBar(main);
    const auto text = bar ? statusText(bar, part) : std::nullopt;
    if (!text) return false;
    last = *text;
    return o.contains ? last.find(want) != std::wstring::npos : last == want;
  });
  say(last);
  return ok ? kOk : kTimeout;
}

int comboCommand(HWND main, const Options& o, const std::wstring& cmd) {
  const auto combos = findChildren(main, arg(o, 1), L"*");
  const size_t n = size_t(_wtoi(arg(o, 2).c_str()));
  if (n >= combos.size()) return kTimeout;
  if (cmd == L"combo-select")
    SendMessageW(combos[n], CB_SETCURSEL, WPARAM(_wtoi(arg(o, 3).c_str())), 0);
  const ComboContents c = comboContents(combos[n]);
  if (cmd == L"combo-items") {
    std::wstring line = std::to_wstring(c.items.size());
    for (const auto& item : c.items) line += L"|" + item;
    say(line);
  } else {
    const bool has = c.selection >= 0 && size_t(c.selection) < c.items.size();
    say(std::to_wstring(c.selection) + L" " + (has ? c.items[size_t(c.selection)] : L""));
  }
  return kOk;
}

int listCombos(HWND main) {
  int i = 0;
  for (HWND w : findChildren(main, L"ComboBox", L"*")) {
    const ComboContents c = comboContents(w);
    std::wstring line = std::to_wstring(i++) + L" " + std::to_wstring(c.selection) + L" " +
                        std::to_wstring(c.items.size());
    for (const auto& item : c.items) line += L"|" + item;
    say(line);
  }
  return kOk;
}

int postMouse(HWND target, const Options& o) {
  const std::wstring kind = arg(o, 1);
  const int x = _wtoi(arg(o, 2).c_str()), y = _wtoi(arg(o, 3).c_str());
  WPARAM keys = o.shift ? MK_SHIFT : 0;
  UINT msg = WM_MOUSEMOVE;
  if (kind == L"down")
    msg = WM_LBUTTONDOWN, keys |= MK_LBUTTON;
  else if (kind == L"up")
    msg = WM_LBUTTONUP;
  else if (kind == L"rdown")
    msg = WM_RBUTTONDOWN, keys |= MK_RBUTTON;
  else if (kind == L"drag")
    msg = WM_MOUSEMOVE, keys |= MK_LBUTTON;
  else if (kind != L"move")
    return kUsage;
  return PostMessageW(target, msg, keys, MAKELPARAM(x, y)) ? kOk : kFailed;
}

int dialogCommand(const Options& o, const std::wstring& cmd) {
  const std::wstring title = arg(o, 1);
  if (cmd == L"wait-dialog-gone")
    return pollUntil(o.timeoutMs, [&] { return findDialog(title) == nullptr; }) ? kOk : kTimeout;
  HWND dialog = nullptr;
  if (!pollUntil(o.timeoutMs, [&] { return (dialog = findDialog(title)) != nullptr; }))
    return kTimeout;
  if (cmd == L"wait-dialog") {
    say(hex(dialog) + L" " + windowText(dialog));
  } else if (cmd == L"dialog-text") {
    std::wstring line;
    for (HWND w : findChildren(dialog, L"Static", L"*")) {
      const std::wstring t = windowText(w);
      if (t.empty()) continue;
      if (!line.empty()) line += L"|";
      line += t;
    }
    say(line);
  } else if (cmd == L"press-dialog-button") {
    const std::wstring want = withoutAmpersands(arg(o, 2));
    for (HWND w : findChildren(dialog, L"Button", L"*")) {
      if (withoutAmpersands(windowText(w)) != want) continue;
      return PostMessageW(w, BM_CLICK, 0, 0) ? kOk : kFailed;
    }
    return kTimeout;
  } else if (cmd == L"capture-dialog") {
    return captureWindow(dialog, arg(o, 2)) ? kOk : kFailed;
  } else if (cmd == L"dialog-set" || cmd == L"dialog-get") {
    const HWND item = dialogItem(dialog, arg(o, 2));
    if (!item) return kTimeout;
    if (cmd == L"dialog-set") {
      const std::wstring text = arg(o, 3);
      DWORD_PTR ignored = 0;
      SendMessageTimeoutW(item, WM_SETTEXT, 0, LPARAM(text.c_str()), SMTO_ABORTIFHUNG, 2000,
                          &ignored);
    }
    say(windowText(item));
  } else {
    return kUsage;
  }
  return kOk;
}

// Follows the dialog a command opens, from this process so that a short-lived one is not missed
// between two runs of the driver: its texts when it shows, then whether it closed by itself.
int watchDialog(const Options& o) {
  HWND dialog = nullptr;
  if (!pollUntil(o.timeoutMs, [&] { return (dialog = findDialog(L"*")) != nullptr; })) {
    say(L"no dialog");
    return kTimeout;
  }
  std::wstring texts;
  for (HWND w : findChildren(dialog, L"Static", L"*")) {
    if (!texts.empty()) texts += L"|";
    texts += windowText(w);
  }
  say(texts);
  const bool closed =
      pollUntil(o.timeoutMs, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
  say(closed ? L"closed" : L"still open");
  return closed ? kOk : kTimeout;
}

int run(const Options& o) {
  const std::wstring cmd = arg(o, 0);
  if (cmd == L"wait-gone")
    return pollUntil(o.timeoutMs, [] { return findMainWindow() == nullptr; }) ? kOk : kTimeout;
  if (cmd == L"wait-window") {
    HWND w = nullptr;
    const bool ok = pollUntil(o.timeoutMs, [&] {
      w = o.args.size() > 1
              ? FindWindowW(arg(o, 1).c_str(), o.args.size() > 2 ? arg(o, 2).c_str() : nullptr)
              : findMainWindow();
      return w && IsWindowVisible(w);
    });
    if (ok) say(hex(w) + L" " + windowText(w));
    return ok ? kOk : kTimeout;
  }
  if (cmd.rfind(L"wait-dialog", 0) == 0 || cmd.rfind(L"dialog-", 0) == 0 ||
      cmd == L"press-dialog-button" || cmd == L"capture-dialog")
    return dialogCommand(o, cmd);

  const HWND main = mainWindow(o);
  if (!main) {
    say(L"no main window");
    return kTimeout;
  }
  const HWND target = o.scan ? scanView(main) : main;
  if (!target) return kTimeout;

  if (cmd == L"status") {
    const HWND bar = statusBar(main);
    const auto text = bar ? statusText(bar, _wtoi(arg(o, 1).c_str())) : std::nullopt;
    if (!text) return kFailed;
    say(*text);
    return kOk;
  }
  if (cmd == L"wait-status") return waitStatus(main, o);
  if (cmd == L"find-child" || cmd == L"text" || cmd == L"click" || cmd == L"check" ||
      cmd == L"timed-click" || cmd == L"button-command") {
    const HWND w = child(main, o, arg(o, 1), arg(o, 2));
    if (!w) return kTimeout;
    if (cmd == L"button-command") {
      const WPARAM id = MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED);
      return markedPost(o, [&] { return PostMessageW(main, WM_COMMAND, id, LPARAM(w)) != 0; })
                 ? kOk
                 : kFailed;
    }
    if (cmd == L"click")
      return markedPost(o, [&] { return PostMessageW(w, BM_CLICK, 0, 0) != 0; }) ? kOk : kFailed;
    if (cmd == L"timed-click") {
      const HWND bar = statusBar(main);
      const int part = _wtoi(arg(o, 3).c_str());
      if (!bar || !PostMessageW(w, BM_CLICK, 0, 0)) return kFailed;
      // The status bar belongs to the window's thread: it answers once the command has returned.
      const int64_t ms = millisecondsUntil(o.timeoutMs, [&] {
        const auto text = statusText(bar, part);
        return text && *text == arg(o, 4);
      });
      say(std::to_wstring(ms));
      return ms >= 0 ? kOk : kTimeout;
    }
    if (cmd == L"check")
      say(std::to_wstring(SendMessageW(w, BM_GETCHECK, 0, 0)));
    else if (cmd == L"text")
      say(windowText(w));
    else
      say(hex(w) + L" " + rectLine(w));
    return kOk;
  }
  if (cmd == L"wait-visible") {
    HWND w = nullptr;
    const bool ok = pollUntil(o.timeoutMs, [&] {
      const auto hits = findChildren(main, arg(o, 1), arg(o, 2));
      if (size_t(o.index) >= hits.size()) return false;
      w = hits[size_t(o.index)];
      RECT r;
      return IsWindowVisible(w) && GetWindowRect(w, &r) && r.right > r.left && r.bottom > r.top;
    });
    say(w ? rectLine(w) : L"not found");
    return ok ? kOk : kTimeout;
  }
  if (cmd == L"capture") {
    HWND w = main;
    if (o.args.size() > 2 && !(w = child(main, o, arg(o, 2), arg(o, 3)))) return kTimeout;
    return captureWindow(w, arg(o, 1)) ? kOk : kFailed;
  }
  if (cmd == L"set-text") {
    const HWND w = child(main, o, arg(o, 1), arg(o, 2));
    if (!w) return kTimeout;
    DWORD_PTR ignored = 0;
    const std::wstring text = arg(o, 3);
    return SendMessageTimeoutW(w, WM_SETTEXT, 0, LPARAM(text.c_str()), SMTO_ABORTIFHUNG, 2000,
                               &ignored)
               ? kOk
               : kFailed;
  }
  if (cmd == L"rect" || cmd == L"snapshot") {
    HWND w = target;
    if (o.args.size() > 1 && !(w = child(main, o, arg(o, 1), arg(o, 2)))) return kTimeout;
    if (cmd == L"rect") {
      say(rectLine(w));
      return kOk;
    }
    const auto s = snapshot(w);
    if (!s) return kFailed;
    say(std::to_wstring(s->nonBlack) + L" " + std::to_wstring(s->total) + L" " +
        std::to_wstring(s->hash));
    return kOk;
  }
  if (cmd == L"command") {
    const WPARAM id = MAKEWPARAM(wcstol(arg(o, 1).c_str(), nullptr, 0), 0);
    if (!markedPost(o, [&] { return PostMessageW(target, WM_COMMAND, id, 0) != 0; }))
      return kFailed;
    return o.watch ? watchDialog(o) : kOk;
  }
  if (cmd == L"close") return PostMessageW(main, WM_CLOSE, 0, 0) ? kOk : kFailed;
  if (cmd == L"key") {
    const WPARAM vk = WPARAM(wcstol(arg(o, 1).c_str(), nullptr, 0));
    const UINT scanCode = MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC);
    const bool down = PostMessageW(target, WM_KEYDOWN, vk, LPARAM(1 | (scanCode << 16)));
    const bool up = PostMessageW(target, WM_KEYUP, vk, LPARAM(1 | (scanCode << 16) | 0xC0000000u));
    return down && up ? kOk : kFailed;
  }
  if (cmd == L"wheel") {
    RECT r;
    GetWindowRect(target, &r);
    short delta = short(_wtoi(arg(o, 1).c_str()));
    // TIMES turns, the direction alternating, INTERVAL ms apart: a user zooming in and out.
    const int times = o.args.size() > 2 ? _wtoi(arg(o, 2).c_str()) : 1;
    const DWORD interval = o.args.size() > 3 ? DWORD(_wtoi(arg(o, 3).c_str())) : 0;
    for (int i = 0; i < times; ++i) {
      if (i > 0) Sleep(interval);
      const WPARAM keys = MAKEWPARAM(o.shift ? MK_SHIFT : 0, static_cast<WORD>(delta));
      if (!PostMessageW(target, WM_MOUSEWHEEL, keys,
                        MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2))) {
        return kFailed;
      }
      delta = short(-delta);
    }
    return kOk;
  }
  if (cmd == L"mouse") return postMouse(target, o);
  if (cmd == L"combos") return listCombos(main);
  if (cmd == L"children") {
    for (HWND w : descendants(target))
      say(hex(w) + L" [" + className(w) + L"] \"" + windowText(w) + L"\" " + rectLine(w));
    return kOk;
  }
  if (cmd == L"combo-items" || cmd == L"combo-selection" || cmd == L"combo-select")
    return comboCommand(main, o, cmd);
  if (cmd == L"trackbar") {
    const auto bars = findChildren(main, L"msctls_trackbar32", L"*");
    const size_t n = size_t(_wtoi(arg(o, 1).c_str()));
    if (n >= bars.size()) return kTimeout;
    const TrackbarState t = trackbarState(bars[n]);
    say(std::to_wstring(t.pos) + L" " + std::to_wstring(t.min) + L" " + std::to_wstring(t.max));
    return kOk;
  }
  return kUsage;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--timeout" && i + 1 < argc) {
      o.timeoutMs = DWORD(_wtoi(argv[++i]));
      o.timeoutGiven = true;
    } else if (a == L"--index" && i + 1 < argc) {
      o.index = _wtoi(argv[++i]);
    } else if (a == L"--mark" && i + 1 < argc) {
      o.markLog = argv[++i];
    } else if (a == L"--main" && i + 1 < argc) {
      setMainClass(argv[++i]);
    } else if (a == L"--scan") {
      o.scan = true;
    } else if (a == L"--shift") {
      o.shift = true;
    } else if (a == L"--contains") {
      o.contains = true;
    } else if (a == L"--watch") {
      o.watch = true;
    } else {
      o.args.push_back(unescape(a));
    }
  }
  if (o.args.empty()) {
    fputs(kUsageText, stderr);
    return kUsage;
  }
  // Commands that wait have a default deadline; the others look once (after the main window).
  if (!o.timeoutGiven) o.timeoutMs = o.args[0].rfind(L"wait-", 0) == 0 ? 10000 : 2000;
  const int rc = run(o);
  if (rc == kUsage) fputs(kUsageText, stderr);
  return rc;
}
