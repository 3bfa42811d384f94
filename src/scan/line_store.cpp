#include "scan/line_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "records/ping_record.h"
#include "scan/echo_tables.h"

namespace sk720 {

const int32_t kDisplayRangesMm[15] = {1500,  2500,  3000,  5000,  6000,   7500,   10000, 15000,
                                      20000, 30000, 45000, 60000, 100000, 120000, 150000};

int32_t rangeIndexOf(int32_t rangeMm) {
  for (int32_t i = 0; i < 15; ++i) {
    if (kDisplayRangesMm[i] == rangeMm) return i;
  }
  return 11;
}

namespace {
uint16_t* allocateStore() {
  void* p = std::calloc(size_t(kStoreLines) * kLineSamples, sizeof(uint16_t));
  if (!p) {
    // Only at start-up: without the store there is no program.
    std::fputs("out of memory for the echo line store\n", stderr);
    std::exit(1);
  }
  return static_cast<uint16_t*>(p);
}
void freeStore(uint16_t* p) { std::free(p); }

void setFlag(LineStore& store, int32_t line) {
  const int32_t l = line % kLinesPerTurn;
  std::lock_guard<std::mutex> g(store.lineLock);
  store.dirtyDegrees[degreeOfLine(l)] = 1;
  // Pixels blend two neighbouring lines, and a degree's edge lies between lines: the pixels that
  // read this line may sit in the degree of the line before or after. Without their flags they
  // would keep a value computed before this line came, a seam until the next turn.
  store.dirtyDegrees[degreeOfLine((l + kLinesPerTurn - 1) % kLinesPerTurn)] = 1;
  store.dirtyDegrees[degreeOfLine((l + 1) % kLinesPerTurn)] = 1;
}
}  // namespace

LineStore::LineStore() : values(allocateStore(), freeStore) {}

int32_t lineIndexOf(uint32_t angle, bool headUp) {
  int64_t s = angle / 9;
  if (s != 0 && headUp) s = 3200 - s;
  if (s < 0) s = -s;
  return int32_t(s % kLinesPerTurn);
}

bool detectTurn(int32_t& previousSide, int32_t line) {
  const int32_t side = 1600 - line;
  const bool turned = (side < 0) != (previousSide < 0) && (line <= 800 || line >= 2400);
  previousSide = side;
  return turned;
}

void markAllDegreesDirty(LineStore& store) {
  std::lock_guard<std::mutex> g(store.lineLock);
  for (uint32_t& f : store.dirtyDegrees) f = 1;
}

namespace {

// Zeroes what the line still holds from sample `from` on; from then on it holds nothing there.
void clearFrom(LineStore& store, int32_t line, int32_t from) {
  const int32_t held = store.extent[line].load(std::memory_order_relaxed);
  for (int32_t j = from; j < held; ++j) store.put(line, j, 0);
  store.extent[line].store(from, std::memory_order_relaxed);
}

}  // namespace

int32_t storeEchoLine(LineStore& store, const uint8_t* record, bool headUp,
                      const ViewSettings& view, int32_t previousLine) {
  const DataHeader h = parseDataHeader(record);
  const int32_t line = lineIndexOf(h.angle, headUp);
  const int32_t count = recordSampleCount(h);
  const uint8_t* samples = record + recordSampleOffset(h);
  const float gain = kGainFactors[clampedGainIndex(view)];
  const int32_t deadZone = kDeadZoneSamples[clampedDeadZoneIndex(view)];
  const uint16_t* expand = sampleExpansionTable();

  const int32_t first = std::clamp(deadZone + 1, 0, std::max(count, 0));
  for (int32_t j = 0; j < first; ++j) store.put(line, j, 0);
  for (int32_t j = first; j < count; ++j) {
    const float v = float(expand[samples[j]]) * gain;
    store.put(line, j, v >= 4095.0f ? uint16_t(4095) : uint16_t(v));
  }
  clearFrom(store, line, std::max(first, count));
  setFlag(store, line);

  if (previousLine >= 0) {
    int32_t to = line, from = previousLine;
    if (to == 0 && from > 1600)
      to = kLinesPerTurn;
    else if (to > 1600 && from == 0)
      from = kLinesPerTurn;
    const int32_t gap = from > to ? from - to : to - from;
    if (gap < 33 && gap > 0) {
      // The copied length is the record's total length, which always fits a line.
      const int32_t n = int32_t(h.samples) < kLineSamples ? int32_t(h.samples) : kLineSamples;
      const int32_t dir = from < to ? 1 : -1;
      for (int32_t f = from; f != to; f += dir) {
        for (int32_t j = 0; j < n; ++j) store.put(f, j, store.load(line, j));
        clearFrom(store, f, n);
        setFlag(store, f);
      }
    }
  }
  return line;
}

}  // namespace sk720
