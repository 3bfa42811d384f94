#include "records/playback_win32.h"

#include <psapi.h>

#include <cwchar>

#include "base/utf16.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace sk720 {

WaitableTimerPacer::WaitableTimerPacer() {
  timer_ = CreateWaitableTimerExW(
      nullptr, nullptr, CREATE_WAITABLE_TIMER_MANUAL_RESET | CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
      TIMER_ALL_ACCESS);
  // Systems before Windows 10 1803 refuse the high-resolution flag.
  if (!timer_) {
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_MANUAL_RESET,
                                    TIMER_ALL_ACCESS);
  }
}

WaitableTimerPacer::~WaitableTimerPacer() {
  if (timer_) CloseHandle(timer_);
}

void WaitableTimerPacer::wait(int64_t hundredNs) {
  if (hundredNs <= 0) return;
  LARGE_INTEGER due;
  due.QuadPart = -hundredNs;  // negative: relative to now
  if (!timer_ || !SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
    Sleep(DWORD((hundredNs + 9999) / 10000));
    return;
  }
  WaitForSingleObject(timer_, INFINITE);
}

std::unique_ptr<PlaybackPacer> makePlatformPacer() {
  return std::make_unique<WaitableTimerPacer>();
}

bool resolveFilePath(HANDLE file, std::wstring& path) {
  DWORD high = 0;
  const DWORD low = GetFileSize(file, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
  if (low == 0 && high == 0) {
    OutputDebugStringA("Cannot map a file with a length of zero.\n");
    return false;
  }
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 1, nullptr);
  if (!mapping) return false;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);
  bool found = false;
  if (view) {
    wchar_t device[MAX_PATH + 1] = {};
    if (GetMappedFileNameW(GetCurrentProcess(), view, device, MAX_PATH) &&
        wcsncmp(device, L"\\??\\", 4) == 0 && device[4] && device[5] == L':') {
      // Wine gives the NT form of a drive-letter path rather than the device form.
      path = device + 4;
      found = path.size() <= MAX_PATH;
    } else if (device[0]) {
      wchar_t drives[512] = {};
      const DWORD n = GetLogicalDriveStringsW(511, drives);
      for (const wchar_t* d = drives; n && n < 512 && *d && !found; d += wcslen(d) + 1) {
        const wchar_t drive[3] = {d[0], L':', 0};
        wchar_t name[MAX_PATH + 1] = {};
        if (!QueryDosDeviceW(drive, name, MAX_PATH)) continue;
        const size_t len = wcslen(name);
        if (len && _wcsnicmp(device, name, len) == 0 && device[len] == L'\\') {
          path = std::wstring(drive) + (device + len);
          found = path.size() <= MAX_PATH;
        }
      }
    }
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return found;
}

std::string playbackDisplayPath(const RecordFileSource& file) {
  const std::u16string opened = utf8ToUtf16(file.path());
  const std::wstring w(opened.begin(), opened.end());
  HANDLE h = CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return file.path();
  std::wstring resolved;
  const bool ok = resolveFilePath(h, resolved);
  CloseHandle(h);
  if (!ok) return file.path();
  return utf16ToUtf8(std::u16string(resolved.begin(), resolved.end()));
}

}  // namespace sk720
