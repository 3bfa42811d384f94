#include "windows_win32.h"

#include <chrono>

namespace sk720drive {

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring className(HWND w) {
  wchar_t buf[256] = {};
  GetClassNameW(w, buf, 256);
  return buf;
}

std::wstring windowText(HWND w) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len)) {
    wchar_t buf[1024] = {};
    InternalGetWindowText(w, buf, 1024);
    return buf;
  }
  std::wstring text(size_t(len) + 1, L'\0');
  DWORD_PTR got = 0;
  SendMessageTimeoutW(w, WM_GETTEXT, WPARAM(text.size()), LPARAM(text.data()), SMTO_ABORTIFHUNG,
                      2000, &got);
  text.resize(wcslen(text.c_str()));
  return text;
}

namespace {

BOOL CALLBACK collect(HWND w, LPARAM out) {
  reinterpret_cast<std::vector<HWND>*>(out)->push_back(w);
  return TRUE;
}

}  // namespace

std::vector<HWND> findChildren(HWND parent, const std::wstring& cls, const std::wstring& text) {
  std::vector<HWND> all, hits;
  EnumChildWindows(parent, collect, LPARAM(&all));
  for (HWND w : all) {
    if (_wcsicmp(className(w).c_str(), cls.c_str()) != 0) continue;
    if (text != L"*" && windowText(w) != text) continue;
    hits.push_back(w);
  }
  return hits;
}

HWND findMainWindow() { return FindWindowW(kMainClass, nullptr); }

HWND findDialog(const std::wstring& title) {
  const HWND main = findMainWindow();
  DWORD programPid = 0;
  if (!main || !GetWindowThreadProcessId(main, &programPid)) return nullptr;
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == programPid && IsWindowVisible(w) && (title == L"*" || windowText(w) == title))
      return w;
  }
  return nullptr;
}

int64_t pollFor(DWORD timeoutMs, const std::function<bool()>& probe, DWORD intervalMs) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const bool done = probe();
    const auto now = std::chrono::steady_clock::now();
    if (done) return std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
    if (now >= deadline) return -1;
    Sleep(intervalMs);
  }
}

int64_t headLogRecords(const std::wstring& path) {
  // The simulator appends while we read: share everything, read what is there.
  const HANDLE f = CreateFileW(path.c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return -1;
  int64_t records = 0;
  bool lineStart = true, comment = false;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    for (DWORD i = 0; i < got; ++i) {
      if (lineStart) comment = buffer[i] == '#';
      lineStart = buffer[i] == '\n';
      if (lineStart && !comment) ++records;  // a line counts once it is complete
    }
  }
  CloseHandle(f);
  return records;
}

}  // namespace sk720drive
