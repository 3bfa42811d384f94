// sk720drive: drives the real program from outside, one command per run, for the end-to-end tests.
// Prints one line (or one line per item) and exits 0 on success, 1 when what was waited for did
// not come before the deadline, 2 on a usage error, 3 when the target could not be reached.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "measure_win32.h"
#include "remote_win32.h"
#include "windows_win32.h"

using namespace sk720drive;

namespace {

constexpr int kOk = 0, kTimeout = 1, kUsage = 2, kFailed = 3;

const char kUsageText[] =
    "usage: sk720drive COMMAND [ARGS] [--timeout MS] [--scan] [--watch] [--mark LOG]\n"
    "  wait-window                   status PART                    wait-status PART TEXT\n"
    "  find-child CLASS TEXT         wait-visible CLASS TEXT        set-text CLASS TEXT NEW\n"
    "  click CLASS TEXT              command ID [--watch]           close\n"
    "  button-command CLASS TEXT     (the button's WM_COMMAND posted straight to the main window)\n"
    "  timed-click CLASS TEXT PART STATUS   (ms from the click until status part PART reads it)\n"
    "  combos                        combo-items CLASS N            combo-select CLASS N ITEM\n"
    "  rect [CLASS TEXT]             snapshot [CLASS TEXT]          key VK\n"
    "  wheel DELTA [TIMES INTERVAL]  (TIMES turns INTERVAL ms apart, the direction alternating)\n"
    "  wait-dialog TITLE             wait-dialog-gone TITLE         dialog-text TITLE\n"
    "  press-dialog-button TITLE TEXT   dialog-set TITLE #ID|CLASS:N TEXT   dialog-get TITLE ITEM\n"
    "--scan aims command and key at the scan view; --mark prints \"mark BEFORE AFTER\", the head\n"
    "log's record count read just before and just after a click's or command's post.\n"
    "TEXT \"*\" matches any text.\n";

struct Options {
  std::vector<std::wstring> args;
  DWORD timeoutMs = 0;
  bool timeoutGiven = false, scan = false, watch = false;
  std::wstring markLog;  // the simulated head's log, read around a post
};

void say(const std::wstring& line) {
  const std::string bytes = toUtf8(line) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

// Posts, between two readings of the head's log when one is named.
int markedPost(const Options& o, HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  const int64_t before = o.markLog.empty() ? 0 : headLogRecords(o.markLog);
  const bool ok = PostMessageW(w, msg, wParam, lParam) != 0;
  if (!o.markLog.empty())
    say(L"mark " + std::to_wstring(before) + L" " + std::to_wstring(headLogRecords(o.markLog)));
  return ok ? kOk : kFailed;
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

// The first child of the class with the text, polled until the deadline.
HWND child(HWND main, const Options& o, const std::wstring& cls, const std::wstring& text) {
  HWND hit = nullptr;
  pollUntil(o.timeoutMs, [&] {
    const auto hits = findChildren(main, cls, text);
    hit = hits.empty() ? nullptr : hits.front();
    return hit != nullptr;
  });
  return hit;
}

HWND statusBar(HWND main) {
  const auto hits = findChildren(main, L"msctls_statusbar32", L"*");
  return hits.empty() ? nullptr : hits.front();
}

std::optional<std::wstring> statusPart(HWND main, const std::wstring& part) {
  const HWND bar = statusBar(main);
  return bar ? statusText(bar, _wtoi(part.c_str())) : std::nullopt;
}

std::wstring rectLine(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  wchar_t buf[160];
  swprintf(buf, 160, L"%ld %ld %ld %ld %d 0x%08lx", r.left, r.top, r.right, r.bottom,
           IsWindowVisible(w) ? 1 : 0, static_cast<unsigned long>(GetWindowLongW(w, GWL_STYLE)));
  return buf;
}

std::wstring joinedTexts(HWND dialog) {
  std::wstring line;
  for (HWND w : findChildren(dialog, L"Static", L"*")) {
    const std::wstring t = windowText(w);
    if (t.empty()) continue;
    if (!line.empty()) line += L"|";
    line += t;
  }
  return line;
}

// A dialog item named "#ID" (a direct item) or "CLASS:N" (the N-th descendant of that class).
HWND dialogItem(HWND dialog, const std::wstring& name) {
  if (!name.empty() && name[0] == L'#')
    return GetDlgItem(dialog, int(wcstol(name.c_str() + 1, nullptr, 0)));
  const size_t colon = name.rfind(L':');
  const size_t n =
      colon == std::wstring::npos ? 0 : size_t(wcstoul(name.c_str() + colon + 1, nullptr, 10));
  const auto hits = findChildren(dialog, name.substr(0, colon), L"*");
  return n < hits.size() ? hits[n] : nullptr;
}

int dialogCommand(const Options& o, const std::wstring& cmd) {
  const std::wstring title = arg(o, 1);
  if (cmd == L"wait-dialog-gone")
    return pollUntil(o.timeoutMs, [&] { return findDialog(title) == nullptr; }) ? kOk : kTimeout;
  HWND dialog = nullptr;
  if (!pollUntil(o.timeoutMs, [&] { return (dialog = findDialog(title)) != nullptr; }))
    return kTimeout;
  if (cmd == L"wait-dialog") {
    say(windowText(dialog));
  } else if (cmd == L"dialog-text") {
    say(joinedTexts(dialog));
  } else if (cmd == L"press-dialog-button") {
    for (HWND w : findChildren(dialog, L"Button", L"*"))
      if (withoutAmpersands(windowText(w)) == withoutAmpersands(arg(o, 2)))
        return PostMessageW(w, BM_CLICK, 0, 0) ? kOk : kFailed;
    return kTimeout;
  } else if (cmd == L"dialog-set" || cmd == L"dialog-get") {
    const HWND item = dialogItem(dialog, arg(o, 2));
    if (!item) return kTimeout;
    DWORD_PTR ignored = 0;
    if (cmd == L"dialog-set")
      SendMessageTimeoutW(item, WM_SETTEXT, 0, LPARAM(arg(o, 3).c_str()), SMTO_ABORTIFHUNG, 2000,
                          &ignored);
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
  say(joinedTexts(dialog));
  const bool closed =
      pollUntil(o.timeoutMs, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
  say(closed ? L"closed" : L"still open");
  return closed ? kOk : kTimeout;
}

int comboCommand(HWND main, const Options& o, const std::wstring& cmd) {
  const auto all = findChildren(main, L"ComboBox", L"*");
  for (size_t i = 0; i < all.size(); ++i) {
    if (cmd != L"combos" && i != size_t(_wtoi(arg(o, 2).c_str()))) continue;
    if (cmd == L"combo-select")
      SendMessageW(all[i], CB_SETCURSEL, WPARAM(_wtoi(arg(o, 3).c_str())), 0);
    const ComboContents c = comboContents(all[i]);
    std::wstring line = std::to_wstring(c.items.size());
    if (cmd == L"combos")
      line = std::to_wstring(i) + L" " + std::to_wstring(c.selection) + L" " + line;
    for (const auto& item : c.items) line += L"|" + item;
    say(line);
    if (cmd != L"combos") return kOk;
  }
  return cmd == L"combos" ? kOk : kTimeout;
}

// The commands on a child found by class and text.
int childCommand(HWND main, const Options& o, const std::wstring& cmd) {
  const HWND w = child(main, o, arg(o, 1), arg(o, 2));
  if (!w) return kTimeout;
  if (cmd == L"click") return markedPost(o, w, BM_CLICK, 0, 0);
  if (cmd == L"button-command")
    return markedPost(o, main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), LPARAM(w));
  if (cmd == L"timed-click") {
    if (!statusBar(main) || !PostMessageW(w, BM_CLICK, 0, 0)) return kFailed;
    // The status bar belongs to the window's thread: it answers once the command has returned.
    const int64_t ms = millisecondsUntil(o.timeoutMs, [&] {
      const auto text = statusPart(main, arg(o, 3));
      return text && *text == arg(o, 4);
    });
    say(std::to_wstring(ms));
    return ms >= 0 ? kOk : kTimeout;
  }
  if (cmd == L"set-text") {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(w, WM_SETTEXT, 0, LPARAM(arg(o, 3).c_str()), SMTO_ABORTIFHUNG, 2000,
                               &ignored)
               ? kOk
               : kFailed;
  }
  say(rectLine(w));  // find-child
  return kOk;
}

int run(const Options& o) {
  const std::wstring cmd = arg(o, 0);
  if (cmd.rfind(L"wait-dialog", 0) == 0 || cmd.rfind(L"dialog-", 0) == 0 ||
      cmd == L"press-dialog-button")
    return dialogCommand(o, cmd);
  HWND main = nullptr;
  const bool shown = pollUntil(o.timeoutMs, [&] {
    main = findMainWindow();
    return main && (cmd != L"wait-window" || IsWindowVisible(main));
  });
  if (!shown) {
    say(L"no main window");
    return kTimeout;
  }
  const auto scanViews = findChildren(main, kScanClass, L"*");
  const HWND target = !o.scan ? main : scanViews.empty() ? nullptr : scanViews.front();
  if (!target) return kTimeout;

  if (cmd == L"wait-window") {
    say(windowText(main));
    return kOk;
  }
  if (cmd == L"status" || cmd == L"wait-status") {
    std::wstring last;
    const bool ok = pollUntil(cmd == L"status" ? 0 : o.timeoutMs, [&] {
      const auto text = statusPart(main, arg(o, 1));
      if (text) last = *text;
      return text && (cmd == L"status" || last == arg(o, 2));
    });
    say(last);
    return ok ? kOk : cmd == L"status" ? kFailed : kTimeout;
  }
  if (cmd == L"find-child" || cmd == L"click" || cmd == L"timed-click" ||
      cmd == L"button-command" || cmd == L"set-text")
    return childCommand(main, o, cmd);
  if (cmd == L"wait-visible") {
    HWND w = nullptr;
    const bool ok = pollUntil(o.timeoutMs, [&] {
      w = child(main, Options{}, arg(o, 1), arg(o, 2));
      RECT r;
      return w && IsWindowVisible(w) && GetWindowRect(w, &r) && r.right > r.left &&
             r.bottom > r.top;
    });
    say(w ? rectLine(w) : L"not found");
    return ok ? kOk : kTimeout;
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
    const int rc = markedPost(o, target, WM_COMMAND, id, 0);
    return rc == kOk && o.watch ? watchDialog(o) : rc;
  }
  if (cmd == L"close") return PostMessageW(main, WM_CLOSE, 0, 0) ? kOk : kFailed;
  if (cmd == L"key") {
    const WPARAM vk = WPARAM(wcstol(arg(o, 1).c_str(), nullptr, 0));
    const LPARAM scanCode = LPARAM(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)) << 16;
    const bool down = PostMessageW(target, WM_KEYDOWN, vk, 1 | scanCode);
    const bool up = PostMessageW(target, WM_KEYUP, vk, LPARAM(1 | scanCode | 0xC0000000u));
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
      const WPARAM keys = MAKEWPARAM(0, static_cast<WORD>(delta));
      if (!PostMessageW(target, WM_MOUSEWHEEL, keys,
                        MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2))) {
        return kFailed;
      }
      delta = short(-delta);
    }
    return kOk;
  }
  if (cmd == L"combos" || cmd == L"combo-items" || cmd == L"combo-select")
    return comboCommand(main, o, cmd);
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
    } else if (a == L"--mark" && i + 1 < argc) {
      o.markLog = argv[++i];
    } else if (a == L"--scan" || a == L"--watch") {
      (a == L"--scan" ? o.scan : o.watch) = true;
    } else {
      o.args.push_back(a);
    }
  }
  // Commands that wait have a default deadline; the others look once (after the main window).
  if (!o.timeoutGiven && !o.args.empty())
    o.timeoutMs = o.args[0].rfind(L"wait-", 0) == 0 ? 10000 : 2000;
  const int rc = o.args.empty() ? kUsage : run(o);
  if (rc == kUsage) fputs(kUsageText, stderr);
  return rc;
}
