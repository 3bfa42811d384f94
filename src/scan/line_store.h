#pragma once
// The echo line store: one line of 12-bit values per head step, written by the acquisition or
// playback thread, read by the paint. Values are accessed through relaxed atomic references: the
// writer never waits for the reader, and a line read while it is rewritten is brought up to date
// by the next change flag.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "scan/view_settings.h"

namespace sk720 {

constexpr int32_t kLineSamples = 20400;
constexpr int32_t kLinesPerTurn = 3200;
constexpr int32_t kStoreLines = 3201;  // line 3200 is the spare the backward gap fill may write
constexpr int32_t kDegrees = 360;
constexpr float kSamplesPerMetre = 20400.0f / 150.0f * 0.98f;

extern const int32_t kDisplayRangesMm[15];
int32_t rangeIndexOf(int32_t rangeMm);

struct LineStore {
  LineStore();
  LineStore(const LineStore&) = delete;
  LineStore& operator=(const LineStore&) = delete;

  uint16_t load(int32_t line, int32_t sample) const {
    return std::atomic_ref<uint16_t>(values[size_t(line) * kLineSamples + size_t(sample)])
        .load(std::memory_order_relaxed);
  }
  // A hint that the value will be read soon (line may be the spare line 3200).
  void prefetch(int32_t line, int32_t sample) const {
#if defined(__GNUC__)
    __builtin_prefetch(&values[size_t(line) * kLineSamples + size_t(sample)]);
#else
    (void)line;
    (void)sample;
#endif
  }
  void put(int32_t line, int32_t sample, uint16_t v) {
    std::atomic_ref<uint16_t>(values[size_t(line) * kLineSamples + size_t(sample)])
        .store(v, std::memory_order_relaxed);
  }

  // Allocated zero-filled once; pages the store never touches are never committed.
  std::unique_ptr<uint16_t[], void (*)(uint16_t*)> values;
  // Per line, the sample index from which all its values are zero: a new line clears only what
  // the line held before, not all 20,400 samples. Written by the storing thread alone; whoever
  // puts values into a line by other means raises it.
  std::atomic<int32_t> extent[kStoreLines] = {};
  std::mutex lineLock;                   // guards dirtyDegrees only
  uint32_t dirtyDegrees[kDegrees] = {};  // DirtyDegrees
  std::atomic<int32_t> currentLineIndex{0};
};

// Degree (0..359) of a line.
inline int32_t degreeOfLine(int32_t line) { return line * 9 / 80; }

// Display line of a record angle; a head mounted up turns the other way.
int32_t lineIndexOf(uint32_t angle, bool headUp);

// Turn detection shared by the working loop and playback: true when the head passed through
// zero, i.e. the side of the half turn changed near line 0. Keeps the side for the next call.
bool detectTurn(int32_t& previousSide, int32_t line);

// Stores the echo line of a valid record (angle not 0xFFFFFFFF): expansion, gain, ceiling, dead
// zone, change flags and the gap fill from previousLine (-1 before the first record of a run).
// Returns the line written.
int32_t storeEchoLine(LineStore& store, const uint8_t* record, bool headUp,
                      const ViewSettings& view, int32_t previousLine);

void markAllDegreesDirty(LineStore& store);

}  // namespace sk720
