#pragma once
// The progress line of long sk720 work (info and render over many files,
// capture): shown on stderr once the work has run about two seconds, rewritten
// in place at most twice a second, and never shown when stderr is not a
// terminal, so that logs and pipes stay clean.
#include <cstdint>
#include <functional>
#include <string>

#include "base/clock.h"

namespace sk720::cli {

constexpr uint32_t kProgressDelayMs = 2000;
constexpr uint32_t kProgressPeriodMs = 500;

class ProgressLine {
 public:
  using Sink = std::function<void(const std::string&)>;
  // enabled: whether a terminal is there to show it; sink: where the text goes
  // (stderr).
  ProgressLine(std::string label, bool enabled, Clock& clock = systemClock(), Sink sink = {});
  ~ProgressLine() { finish(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Called as often as work is done; cheap when there is nothing to show.
  void update(uint64_t records, uint64_t bytes, const std::string& extra = {});
  // Ends the line (a new line after it) when one was shown.
  void finish();

 private:
  std::string label_;
  bool enabled_;
  Clock& clock_;
  Sink sink_;
  uint32_t startMs_;
  uint32_t lastMs_ = 0;
  bool shown_ = false;
};

// "LABEL: 1234 records, 5.6 MB, 789 records/s EXTRA"
std::string progressText(const std::string& label, uint64_t records, uint64_t bytes, double seconds,
                         const std::string& extra);

// The progress line for a command's own use: on when stderr is a terminal.
bool progressWanted();

}  // namespace sk720::cli
