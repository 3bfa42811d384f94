// Measurements taken in the driver itself, next to the action they time, so that the start-up
// of the driver under Wine is not counted as the program's latency.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace sk720drive {

// Complete record lines in the simulated head's log (`sk720 headsim --log`): how many records
// the head had sent when it was read; -1 when the log cannot be opened.
int64_t headLogRecords(const std::wstring& path);

// Polls probe every 5 ms from now; the milliseconds until it held, or -1 after timeoutMs.
int64_t millisecondsUntil(DWORD timeoutMs, const std::function<bool()>& probe);

}  // namespace sk720drive
