// sk720drive: drives the real program from outside, one command per run, for the end-to-end tests.
// Prints one line (or one line per item) and exits 0 on success, 1 when what was waited for did
// not come before the deadline, 2 on a usage error, 3 when the target could not be reached. It
// waits for the program's windows itself, next to the action, so that its own start-up under Wine
// is not counted as the program's latency.
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kOk = 0, kTimeout = 1, kUsage = 2, kFailed = 3;
// The class name of the program's main window and of its scan view.
constexpr wchar_t kMainClass[] = L"QUORVIA_VEZADUDOR_GUI", kScanClass[] = L"Radar scan";

// The commands and their arguments; TEXT "*" matches any text. --scan aims command, key,
// wheel, rect and snapshot at the scan view; --mark LOG prints "mark COUNT", the head log's
// record count read right after a click's or command's post.
const char kUsageText[] =
    "usage: sk720drive COMMAND [ARGS] [--timeout MS] [--scan] [--watch] [--mark LOG]\n"
    "  wait-window | status PART | wait-status PART TEXT | find-child CLASS TEXT | close | key VK\n"
    "  set-text CLASS TEXT NEW | click CLASS TEXT | command ID | button-command CLASS TEXT\n"
    "  timed-click CLASS TEXT PART STATUS | combo-select CLASS N ITEM | combos\n"
    "  rect [CLASS TEXT] | snapshot [CLASS TEXT] (a hash) | wheel DELTA [TIMES INTERVAL]\n"
    "  wait-dialog TITLE | wait-dialog-gone TITLE | dialog-text TITLE | dialog-get TITLE ITEM\n"
    "  press-dialog-button TITLE TEXT (no &) | dialog-set TITLE ITEM TEXT (ITEM: #ID)\n";

struct Options {
  std::vector<std::wstring> args;
  DWORD timeoutMs = 0;
  bool scan = false, watch = false;
  std::wstring markLog;  // the simulated head's log, read around a post
  // Argument i, "*" (any) when not given.
  std::wstring arg(size_t i) const { return i < args.size() ? args[i] : L"*"; }
  int number(size_t i) const { return int(wcstol(arg(i).c_str(), nullptr, 0)); }
};

// The window's text as its own procedure reports it (WM_GETTEXT, marshalled across processes),
// or as last set when the window does not answer.
std::wstring windowText(HWND w) {
  wchar_t text[1024] = {};
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXT, 1024, LPARAM(text), SMTO_ABORTIFHUNG, 2000, &got))
    InternalGetWindowText(w, text, 1024);
  return text;
}

BOOL CALLBACK collect(HWND w, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
  return TRUE;
}

// The descendants of parent, in creation (Z) order, of the given class (case-insensitive) whose
// text equals text; text "*" matches any.
std::vector<HWND> findChildren(HWND parent, const std::wstring& cls, const std::wstring& text) {
  std::vector<HWND> all, hits;
  EnumChildWindows(parent, collect, LPARAM(&all));
  for (HWND w : all) {
    wchar_t name[256] = {};
    GetClassNameW(w, name, 256);
    if (_wcsicmp(name, cls.c_str()) == 0 && (text == L"*" || windowText(w) == text))
      hits.push_back(w);
  }
  return hits;
}

// A top-level dialog ("#32770") of the program's process whose title equals title ("*": any).
HWND findDialog(const std::wstring& title) {
  DWORD programPid = 0;
  const HWND main = FindWindowW(kMainClass, nullptr);
  if (!main || !GetWindowThreadProcessId(main, &programPid)) return nullptr;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == programPid && IsWindowVisible(w) && (title == L"*" || windowText(w) == title))
      return w;
  }
  return nullptr;
}

// Text of the main window's status bar part PART, read through a buffer allocated in the target;
// nothing when the target's memory cannot be reached. The status bar belongs to the window's
// thread: it answers once the thread is free.
std::optional<std::wstring> statusText(HWND main, const std::wstring& partText) {
  const HWND statusBar = FindWindowExW(main, nullptr, L"msctls_statusbar32", nullptr);
  const WPARAM part = WPARAM(_wtoi(partText.c_str()));
  DWORD pid = 0;
  if (!statusBar || !GetWindowThreadProcessId(statusBar, &pid)) return std::nullopt;
  HANDLE process =
      OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!process) return std::nullopt;
  // Wine writes nothing at all for an empty part, not even the terminator: the buffer must be
  // zero, as freshly committed pages are.
  constexpr size_t kChars = 2048;
  std::vector<wchar_t> local(kChars, L'\0');
  void* remote = VirtualAllocEx(process, nullptr, kChars * sizeof(wchar_t),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  std::optional<std::wstring> result;
  DWORD_PTR ignored = 0;
  if (remote && LOWORD(SendMessageW(statusBar, SB_GETTEXTLENGTHW, part, 0)) < kChars &&
      SendMessageTimeoutW(statusBar, SB_GETTEXTW, part, LPARAM(remote), SMTO_ABORTIFHUNG, 2000,
                          &ignored) &&
      ReadProcessMemory(process, remote, local.data(), kChars * sizeof(wchar_t), nullptr)) {
    local[kChars - 1] = L'\0';
    result = std::wstring(local.data());
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return result;
}

// A hash of what the screen shows inside a window.
std::optional<uint64_t> pictureHash(HWND w) {
  RECT r;
  if (!GetWindowRect(w, &r)) return std::nullopt;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return 0;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::optional<uint64_t> result;
  // A DC deleted first gives its bitmap back for deletion.
  if (dib && SelectObject(memory, dib) &&
      BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY)) {
    GdiFlush();
    uint64_t hash = 1469598103934665603ull;  // FNV-1a over the pixels
    const auto* px = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i)
      hash = (hash ^ (px[i] & 0xFFFFFFu)) * 1099511628211ull;
    result = hash;
  }
  DeleteDC(memory);
  if (dib) DeleteObject(dib);
  ReleaseDC(nullptr, screen);
  return result;
}

// Runs probe every intervalMs until it returns true; the milliseconds until it did, or -1 once
// timeoutMs passed.
int64_t pollFor(DWORD timeoutMs, const std::function<bool()>& probe, DWORD intervalMs = 50) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    const bool done = probe();
    const int64_t ms = int64_t(GetTickCount64() - start);
    if (done || ms >= int64_t(timeoutMs)) return done ? ms : -1;
    Sleep(intervalMs);
  }
}

bool pollUntil(DWORD timeoutMs, const std::function<bool()>& probe) {
  return pollFor(timeoutMs, probe) >= 0;
}

// Complete record lines in the simulated head's log (`sk720 headsim --log`): how many records
// the head had sent when it was read; -1 when the log cannot be opened.
int64_t headLogRecords(const std::wstring& path) {
  std::ifstream log(path.c_str(), std::ios::binary);
  if (!log) return -1;
  int64_t records = 0;
  // The simulator appends meanwhile: a line counts once it is complete.
  for (std::string line; std::getline(log, line) && !log.eof();) records += !line.starts_with('#');
  return records;
}

int outcome(bool ok) { return ok ? kOk : kFailed; }

void say(const std::wstring& text) {
  const std::wstring line = text + L"\n";
  std::string bytes(3 * line.size(), '\0');  // at most three bytes a UTF-16 unit
  const int n = WideCharToMultiByte(CP_UTF8, 0, line.data(), int(line.size()), bytes.data(),
                                    int(bytes.size()), nullptr, nullptr);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(n), &written, nullptr);
}

// Posts, then reads the head's log when one is named.
int markedPost(const Options& o, HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
  const bool ok = PostMessageW(w, msg, wParam, lParam) != 0;
  if (!o.markLog.empty()) say(L"mark " + std::to_wstring(headLogRecords(o.markLog)));
  return outcome(ok);
}

int setText(HWND w, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  return outcome(SendMessageTimeoutW(w, WM_SETTEXT, 0, LPARAM(text.c_str()), SMTO_ABORTIFHUNG, 2000,
                                     &ignored));
}

// The first child of the class with the text, polled until the deadline.
HWND child(HWND main, DWORD timeoutMs, const std::wstring& cls, const std::wstring& text) {
  std::vector<HWND> hits;
  pollUntil(timeoutMs, [&] { return !(hits = findChildren(main, cls, text)).empty(); });
  return hits.empty() ? nullptr : hits.front();
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

int dialogCommand(const Options& o, const std::wstring& cmd) {
  const std::wstring title = o.arg(1);
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
    for (HWND w : findChildren(dialog, L"Button", L"*")) {
      std::wstring text = windowText(w);
      std::erase(text, L'&');  // the mnemonic's mark
      if (text == o.arg(2)) return outcome(PostMessageW(w, BM_CLICK, 0, 0));
    }
    return kTimeout;
  } else {  // dialog-set, dialog-get
    const HWND item = GetDlgItem(dialog, int(wcstol(o.arg(2).c_str() + 1, nullptr, 0)));  // "#ID"
    if (!item) return kTimeout;
    if (cmd == L"dialog-set") setText(item, o.arg(3));
    say(windowText(item));
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
int comboCommand(HWND main, const Options& o, bool select) {
  const auto all = findChildren(main, L"ComboBox", L"*");
  for (size_t i = 0; i < all.size(); ++i) {
    const HWND c = all[i];
    if (select && i != size_t(o.number(2))) continue;
    if (select) SendMessageW(c, CB_SETCURSEL, WPARAM(o.number(3)), 0);
    const LRESULT count = SendMessageW(c, CB_GETCOUNT, 0, 0);
    std::wstring line = std::to_wstring(i) + L" " +
                        std::to_wstring(SendMessageW(c, CB_GETCURSEL, 0, 0)) + L" " +
                        std::to_wstring(count);
    for (LRESULT item = 0; item < count; ++item) {
      wchar_t text[1024] = {};  // the program's items are short: ranges, ports, speeds
      if (SendMessageW(c, CB_GETLBTEXTLEN, WPARAM(item), 0) < 1024)
        SendMessageW(c, CB_GETLBTEXT, WPARAM(item), LPARAM(text));
      line += L"|" + std::wstring(text);
    }
    say(line);
    if (select) return kOk;
  }
  return select ? kTimeout : kOk;
}

// The milliseconds a click takes to bring status part PART to STATUS, then each status text seen
// on the way with when it was first seen: a slow answer says whether the window was busy or said
// something else meanwhile.
int timedClick(HWND main, HWND button, const Options& o) {
  const ULONGLONG start = GetTickCount64();
  std::wstring seen, trail;
  if (!PostMessageW(button, BM_CLICK, 0, 0)) return kFailed;
  const int64_t ms = pollFor(
      o.timeoutMs,
      [&] {
        const auto text = statusText(main, o.arg(3));
        const std::wstring now = text ? *text : L"(unread)";
        if (trail.empty() || now != seen)
          trail += L" | " + (seen = now) + L" @" + std::to_wstring(GetTickCount64() - start);
        return text && *text == o.arg(4);
      },
      5);
  say(std::to_wstring(ms) + trail);
  return ms >= 0 ? kOk : kTimeout;
}

int run(const Options& o) {
  const std::wstring cmd = o.arg(0);
  if (cmd == L"wait-dialog" || cmd == L"wait-dialog-gone" || cmd == L"dialog-text" ||
      cmd == L"press-dialog-button" || cmd == L"dialog-set" || cmd == L"dialog-get")
    return dialogCommand(o, cmd);
  HWND main = nullptr;
  if (!pollUntil(o.timeoutMs, [&] {
        main = FindWindowW(kMainClass, nullptr);
        return main && (cmd != L"wait-window" || IsWindowVisible(main));
      })) {
    say(L"no main window");
    return kTimeout;
  }
  if (cmd == L"status" || cmd == L"wait-status") {  // status: one reading, whatever it says
    std::wstring last;
    const bool ok = pollUntil(cmd == L"status" ? 0 : o.timeoutMs, [&] {
      const auto text = statusText(main, o.arg(1));
      if (text) last = *text;
      return text && (o.arg(2) == L"*" || *text == o.arg(2));
    });
    say(last);
    return ok ? kOk : kTimeout;
  }
  if (cmd == L"combos" || cmd == L"combo-select") return comboCommand(main, o, cmd != L"combos");
  // The commands on a child found by class and text, and those on the main window (or with
  // --scan the scan view) itself; rect and snapshot take either.
  const bool onChild = cmd == L"find-child" || cmd == L"click" || cmd == L"timed-click" ||
                       cmd == L"button-command" || cmd == L"set-text" ||
                       ((cmd == L"rect" || cmd == L"snapshot") && o.args.size() > 1);
  const HWND w = onChild  ? child(main, o.timeoutMs, o.arg(1), o.arg(2))
                 : o.scan ? child(main, 0, kScanClass, L"*")
                          : main;
  if (!w) return kTimeout;
  if (cmd == L"click") return markedPost(o, w, BM_CLICK, 0, 0);
  if (cmd == L"button-command")
    return markedPost(o, main, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(w), BN_CLICKED), LPARAM(w));
  if (cmd == L"set-text") return setText(w, o.arg(3));
  if (cmd == L"timed-click") return timedClick(main, w, o);
  if (cmd == L"find-child" || cmd == L"rect" || cmd == L"wait-window") {
    say(rectLine(w));
  } else if (cmd == L"snapshot") {
    const auto hash = pictureHash(w);
    if (!hash) return kFailed;
    say(std::to_wstring(*hash));
  } else if (cmd == L"command") {
    const int rc = markedPost(o, w, WM_COMMAND, MAKEWPARAM(o.number(1), 0), 0);
    return rc == kOk && o.watch ? watchDialog(o) : rc;
  } else if (cmd == L"close") {
    return outcome(PostMessageW(main, WM_CLOSE, 0, 0));
  } else if (cmd == L"key") {
    const WPARAM vk = WPARAM(o.number(1));
    const LPARAM scanCode = LPARAM(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC)) << 16;
    const bool down = PostMessageW(w, WM_KEYDOWN, vk, 1 | scanCode);
    return outcome(PostMessageW(w, WM_KEYUP, vk, LPARAM(1 | scanCode | 0xC0000000u)) && down);
  } else if (cmd == L"wheel") {
    RECT r;
    GetWindowRect(w, &r);
    short delta = short(o.number(1));
    // TIMES turns, the direction alternating, INTERVAL ms apart: a user zooming in and out.
    const int times = o.args.size() > 2 ? o.number(2) : 1;
    for (int i = 0; i < times; ++i, delta = short(-delta)) {
      if (i > 0) Sleep(DWORD(o.number(3)));
      if (!PostMessageW(w, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                        MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2)))
        return kFailed;
    }
  } else {
    return kUsage;
  }
  return kOk;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options o;
  int timeoutMs = -1;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    if (a == L"--timeout" && i + 1 < argc)
      timeoutMs = _wtoi(argv[++i]);
    else if (a == L"--mark" && i + 1 < argc)
      o.markLog = argv[++i];
    else if (a == L"--scan" || a == L"--watch")
      (a == L"--scan" ? o.scan : o.watch) = true;
    else
      o.args.push_back(a);
  }
  // Commands that wait have a default deadline; the others look once (after the main window).
  if (timeoutMs < 0 && !o.args.empty()) timeoutMs = o.args[0].starts_with(L"wait-") ? 10000 : 2000;
  o.timeoutMs = DWORD(timeoutMs);
  const int rc = o.args.empty() ? kUsage : run(o);
  if (rc == kUsage) fputs(kUsageText, stderr);
  return rc;
}
