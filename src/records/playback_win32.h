#pragma once
// Windows parts of playback: the waitable-timer pacer and the display path of an open file.
#include <windows.h>

#include <string>

#include "records/playback.h"

namespace sk720 {

// Waits on a manual-reset waitable timer (high resolution where the system has it).
class WaitableTimerPacer : public PlaybackPacer {
 public:
  WaitableTimerPacer();
  ~WaitableTimerPacer() override;
  WaitableTimerPacer(const WaitableTimerPacer&) = delete;
  WaitableTimerPacer& operator=(const WaitableTimerPacer&) = delete;
  void wait(int64_t hundredNs) override;

 private:
  HANDLE timer_ = nullptr;
};

// The drive-letter path of an open file (at most 260 characters), found through a one-byte
// mapping of it. False for an empty file or one that cannot be mapped.
bool resolveFilePath(HANDLE file, std::wstring& path);

// The status line's path for a playback file: resolved where possible, else the path as opened.
std::string playbackDisplayPath(const RecordFileSource& file);

}  // namespace sk720
