// Finding and reading the windows of the program under test from another process, and waiting
// for them in the driver itself, next to the action, so that the driver's own start-up under Wine
// is not counted as the program's latency.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sk720drive {

// The class name and title of the program's main window.
inline constexpr wchar_t kMainClass[] = L"QUORVIA_VEZADUDOR_GUI";
inline constexpr wchar_t kScanClass[] = L"Radar scan";

std::string toUtf8(const std::wstring& w);

std::wstring className(HWND w);
// The window's text as its own procedure reports it (WM_GETTEXT, marshalled across processes).
std::wstring windowText(HWND w);

// The descendants of parent, in creation (Z) order, of the given class (case-insensitive) whose
// text equals text; text "*" matches any.
std::vector<HWND> findChildren(HWND parent, const std::wstring& cls, const std::wstring& text);

HWND findMainWindow();
// A top-level dialog ("#32770") of the program's process whose title equals title ("*": any).
HWND findDialog(const std::wstring& title);

// Runs probe every intervalMs until it returns true; the milliseconds until it did, or -1 once
// timeoutMs passed.
int64_t pollFor(DWORD timeoutMs, const std::function<bool()>& probe, DWORD intervalMs = 50);
inline bool pollUntil(DWORD timeoutMs, const std::function<bool()>& probe) {
  return pollFor(timeoutMs, probe) >= 0;
}

// Complete record lines in the simulated head's log (`sk720 headsim --log`): how many records
// the head had sent when it was read; -1 when the log cannot be opened.
int64_t headLogRecords(const std::wstring& path);

}  // namespace sk720drive
