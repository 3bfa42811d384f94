#include "sk720/progress.h"

#include <cstdio>

#include "sk720/capture_platform.h"

namespace sk720::cli {

std::string progressText(const std::string& label, uint64_t records, uint64_t bytes, double seconds,
                         const std::string& extra) {
  char text[160];
  std::snprintf(text, sizeof text, "%s: %llu records, %.1f MB, %.0f records/s", label.c_str(),
                static_cast<unsigned long long>(records), double(bytes) / 1e6,
                seconds > 0 ? double(records) / seconds : 0.0);
  std::string line = text;
  if (!extra.empty()) line += "  " + extra;
  return line;
}

bool progressWanted() { return stderrIsTerminal(); }

ProgressLine::ProgressLine(std::string label, bool enabled, Clock& clock, Sink sink)
    : label_(std::move(label)),
      enabled_(enabled),
      clock_(clock),
      sink_(sink ? std::move(sink) : Sink([](const std::string& s) {
        std::fputs(s.c_str(), stderr);
        std::fflush(stderr);
      })),
      startMs_(clock.nowMs()) {}

void ProgressLine::update(uint64_t records, uint64_t bytes, const std::string& extra) {
  if (!enabled_) return;
  const uint32_t now = clock_.nowMs();
  const uint32_t elapsed = now - startMs_;
  if (elapsed < kProgressDelayMs || (shown_ && now - lastMs_ < kProgressPeriodMs)) return;
  lastMs_ = now;
  shown_ = true;
  // Trailing blanks wipe what a longer earlier line left behind.
  std::string line = "\r";
  line += progressText(label_, records, bytes, elapsed / 1000.0, extra);
  line += "    ";
  sink_(line);
}

void ProgressLine::finish() {
  if (!shown_) return;
  shown_ = false;
  sink_("\n");
}

}  // namespace sk720::cli
