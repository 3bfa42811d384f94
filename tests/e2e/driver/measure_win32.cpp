#include "measure_win32.h"

#include <chrono>
#include <string>
#include <thread>

namespace sk720drive {

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

int64_t millisecondsUntil(DWORD timeoutMs, const std::function<bool()>& probe) {
  const auto start = std::chrono::steady_clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const bool done = probe();
    const auto now = std::chrono::steady_clock::now();
    if (done) return std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
    if (now >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace sk720drive
