#include "windows_win32.h"

#include <cwctype>

namespace sk720drive {

std::string toUtf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::wstring fromUtf8(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
  std::wstring w(size_t(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
  return w;
}

std::wstring unescape(const std::wstring& s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'\\' && i + 5 < s.size() && s[i + 1] == L'u') {
      const std::wstring hex = s.substr(i + 2, 4);
      wchar_t* end = nullptr;
      const unsigned long v = wcstoul(hex.c_str(), &end, 16);
      if (hex.size() == 4 && end == hex.c_str() + 4) {
        out.push_back(wchar_t(v));
        i += 5;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
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

bool sameClass(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

struct DialogSearch {
  DWORD pid;
  std::wstring title;
  HWND found;
};

BOOL CALLBACK matchDialog(HWND w, LPARAM param) {
  auto* s = reinterpret_cast<DialogSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid != s->pid || className(w) != L"#32770" || !IsWindowVisible(w)) return TRUE;
  if (s->title != L"*" && windowText(w) != s->title) return TRUE;
  s->found = w;
  return FALSE;
}

}  // namespace

std::vector<HWND> descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, collect, LPARAM(&all));
  return all;
}

std::vector<HWND> findChildren(HWND parent, const std::wstring& cls, const std::wstring& text) {
  std::vector<HWND> hits;
  for (HWND w : descendants(parent)) {
    if (!sameClass(className(w), cls)) continue;
    if (text != L"*" && windowText(w) != text) continue;
    hits.push_back(w);
  }
  return hits;
}

namespace {
std::wstring mainClass = kMainClass;
}

void setMainClass(const std::wstring& cls) { mainClass = cls; }

HWND findMainWindow() { return FindWindowW(mainClass.c_str(), nullptr); }

HWND findDialog(const std::wstring& title) {
  const HWND main = findMainWindow();
  if (!main) return nullptr;
  DialogSearch s{0, title, nullptr};
  GetWindowThreadProcessId(main, &s.pid);
  EnumWindows(matchDialog, LPARAM(&s));
  return s.found;
}

bool pollUntil(DWORD timeoutMs, const std::function<bool()>& probe) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (probe()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
}

}  // namespace sk720drive
