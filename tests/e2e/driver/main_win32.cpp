// sk720drive: drives the real program from outside, one command per run, for the end-to-end tests.
// Prints one line (or one line per item) and exits 0 on success, 1 when what was waited for did
// not come before the deadline, 2 on a usage error, 3 when the target could not be reached.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "remote_win32.h"
#include "windows_win32.h"

using namespace sk720drive;

namespace {

constexpr int kOk = 0, kTimeout = 1, kUsage = 2, kFailed = 3;

// The commands and their arguments; TEXT "*" matches any text. --scan aims command, key,
// wheel, rect and snapshot at the scan view; --mark LOG prints "mark BEFORE AFTER", the head
// log's record count read just before and just after a click's or command's post.
const char kUsageText[] =
    "usage: sk720drive COMMAND [ARGS] [--timeout MS] [--scan] [--watch] [--mark LOG]\n"
    "  wait-window | status PART | wait-status PART TEXT | find-child CLASS TEXT | close\n"
    "  wait-visible CLASS TEXT | set-text CLASS TEXT NEW | click CLASS TEXT | command ID\n"
    "  button-command CLASS TEXT | timed-click CLASS TEXT PART STATUS | key VK | combos\n"
    "  combo-select CLASS N ITEM | rect [CLASS TEXT] | snapshot [CLASS TEXT] (a hash)\n"
    "  wheel DELTA [TIMES INTERVAL] | wait-dialog TITLE | wait-dialog-gone TITLE\n"
    "  dialog-text TITLE | press-dialog-button TITLE TEXT | dialog-set TITLE #ID|CLASS:N TEXT\n"
    "  dialog-get TITLE #ID|CLASS:N\n";

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

const std::wstring& arg(const Options& o, size_t i) {
  static const std::wstring any = L"*";
  return i < o.args.size() ? o.args[i] : any;
}

int number(const Options& o, size_t i) { return int(wcstol(arg(o, i).c_str(), nullptr, 0)); }

// Posts, between two readings of the head's log when one is named.
int markedPost(const Options& o, HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  const int64_t before = o.markLog.empty() ? 0 : headLogRecords(o.markLog);
  const bool ok = PostMessageW(w, msg, wParam, lParam) != 0;
  if (!o.markLog.empty())
    say(L"mark " + std::to_wstring(before) + L" " + std::to_wstring(headLogRecords(o.markLog)));
  return ok ? kOk : kFailed;
}

int setText(HWND w, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(w, WM_SETTEXT, 0, LPARAM(text.c_str()), SMTO_ABORTIFHUNG, 2000,
                             &ignored)
             ? kOk
             : kFailed;
}

std::wstring withoutAmpersands(const std::wstring& s) {
  std::wstring out;
  for (wchar_t c : s)
    if (c != L'&') out.push_back(c);
  return out;
}

// The first child of the class with the text, polled until the deadline.
HWND child(HWND main, DWORD timeoutMs, const std::wstring& cls, const std::wstring& text) {
  HWND hit = nullptr;
  pollUntil(timeoutMs, [&] {
    const auto hits = findChildren(main, cls, text);
    hit = hits.empty() ? nullptr : hits.front();
    return hit != nullptr;
  });
  return hit;
}

// Polls status part `part` until it reads `want` (any text with want "*"); the milliseconds
// until it did or -1, and the last text read. The status bar belongs to the window's thread: it
// answers once the thread is free.
int64_t waitStatus(HWND main, DWORD timeoutMs, const std::wstring& part, const std::wstring& want,
                   std::wstring& last, DWORD intervalMs = 50) {
  return pollFor(
      timeoutMs,
      [&] {
        const HWND bar = child(main, 0, L"msctls_statusbar32", L"*");
        const auto text = bar ? statusText(bar, _wtoi(part.c_str())) : std::nullopt;
        if (text) last = *text;
        return text && (want == L"*" || *text == want);
      },
      intervalMs);
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
    if (!t.empty()) line += (line.empty() ? L"" : L"|") + t;
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
    if (cmd == L"dialog-set") setText(item, arg(o, 3));
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

// "N SELECTION COUNT|ITEM|..." for each combo box, or for the one combo-select changed.
int comboCommand(HWND main, const Options& o, const std::wstring& cmd) {
  const auto all = findChildren(main, L"ComboBox", L"*");
  const bool one = cmd == L"combo-select";
  for (size_t i = 0; i < all.size(); ++i) {
    if (one && i != size_t(number(o, 2))) continue;
    if (one) SendMessageW(all[i], CB_SETCURSEL, WPARAM(number(o, 3)), 0);
    const ComboContents c = comboContents(all[i]);
    std::wstring line = std::to_wstring(i) + L" " + std::to_wstring(c.selection) + L" " +
                        std::to_wstring(c.items.size());
    for (const auto& item : c.items) line += L"|" + item;
    say(line);
    if (one) return kOk;
  }
  return one ? kTimeout : kOk;
}

// The commands on a child found by class and text.
int childCommand(HWND main, const Options& o, const std::wstring& cmd) {
  if (cmd == L"wait-visible") {
    HWND w = nullptr;
    const bool ok = pollUntil(o.timeoutMs, [&] {
      w = child(main, 0, arg(o, 1), arg(o, 2));
      RECT r;
      return w && IsWindowVisible(w) && GetWindowRect(w, &r) && r.right > r.left &&
             r.bottom > r.top;
    });
    say(w ? rectLine(w) : L"not found");
    return ok ? kOk : kTimeout;
  }
  const HWND w = child(main, o.timeoutMs, arg(o, 1), arg(o, 2));
  if (!w) return kTimeout;
  if (cmd == L"click") return markedPost(o, w, BM_CLICK, 0, 0);
  if (cmd == L"button-command")
    return markedPost(o, main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), LPARAM(w));
  if (cmd == L"set-text") return setText(w, arg(o, 3));
  if (cmd == L"timed-click") {
    // The milliseconds, then each status text seen on the way with when it was first seen: a
    // slow answer says whether the window was busy or said something else meanwhile.
    const auto start = std::chrono::steady_clock::now();
    std::wstring seen, trail;
    if (!PostMessageW(w, BM_CLICK, 0, 0)) return kFailed;
    const int64_t ms = pollFor(
        o.timeoutMs,
        [&] {
          const HWND bar = child(main, 0, L"msctls_statusbar32", L"*");
          const auto text = bar ? statusText(bar, _wtoi(arg(o, 3).c_str())) : std::nullopt;
          const std::wstring now = text ? *text : L"(unread)";
          if (trail.empty() || now != seen) {
            const auto at = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            trail += L" | " + now + L" @" + std::to_wstring(at.count());
            seen = now;
          }
          return text && *text == arg(o, 4);
        },
        5);
    say(std::to_wstring(ms) + trail);
    return ms >= 0 ? kOk : kTimeout;
  }
  if (cmd != L"find-child") return kUsage;
  say(rectLine(w));
  return kOk;
}

// Commands on the main window (or with --scan the scan view) itself.
int windowCommand(HWND main, HWND target, const Options& o, const std::wstring& cmd) {
  if (cmd == L"wait-window") {
    say(windowText(main));
  } else if (cmd == L"rect" || cmd == L"snapshot") {
    const HWND w = o.args.size() > 1 ? child(main, o.timeoutMs, arg(o, 1), arg(o, 2)) : target;
    if (!w) return kTimeout;
    const auto hash = cmd == L"snapshot" ? pictureHash(w) : std::optional<uint64_t>(0);
    if (!hash) return kFailed;
    say(cmd == L"rect" ? rectLine(w) : std::to_wstring(*hash));
  } else if (cmd == L"command") {
    const int rc = markedPost(o, target, WM_COMMAND, MAKEWPARAM(number(o, 1), 0), 0);
    return rc == kOk && o.watch ? watchDialog(o) : rc;
  } else if (cmd == L"close") {
    return PostMessageW(main, WM_CLOSE, 0, 0) ? kOk : kFailed;
  } else if (cmd == L"key") {
    const WPARAM vk = WPARAM(number(o, 1));
    const LPARAM scanCode = LPARAM(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)) << 16;
    const bool down = PostMessageW(target, WM_KEYDOWN, vk, 1 | scanCode);
    const bool up = PostMessageW(target, WM_KEYUP, vk, LPARAM(1 | scanCode | 0xC0000000u));
    return down && up ? kOk : kFailed;
  } else if (cmd == L"wheel") {
    RECT r;
    GetWindowRect(target, &r);
    short delta = short(number(o, 1));
    // TIMES turns, the direction alternating, INTERVAL ms apart: a user zooming in and out.
    const int times = o.args.size() > 2 ? number(o, 2) : 1;
    for (int i = 0; i < times; ++i, delta = short(-delta)) {
      if (i > 0) Sleep(DWORD(number(o, 3)));
      if (!PostMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                        MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2)))
        return kFailed;
    }
  } else {
    return kUsage;
  }
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
  if (cmd == L"status" || cmd == L"wait-status") {
    std::wstring last;
    const bool now = cmd == L"status";
    const bool ok =
        waitStatus(main, now ? 0 : o.timeoutMs, arg(o, 1), now ? L"*" : arg(o, 2), last) >= 0;
    say(last);
    return ok ? kOk : now ? kFailed : kTimeout;
  }
  if (cmd == L"combos" || cmd == L"combo-select") return comboCommand(main, o, cmd);
  if (cmd == L"find-child" || cmd == L"click" || cmd == L"timed-click" ||
      cmd == L"button-command" || cmd == L"set-text" || cmd == L"wait-visible")
    return childCommand(main, o, cmd);
  const HWND target = o.scan ? child(main, 0, kScanClass, L"*") : main;
  return target ? windowCommand(main, target, o, cmd) : kTimeout;
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
