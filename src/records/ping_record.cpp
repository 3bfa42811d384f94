#include "records/ping_record.h"

#include <array>

#include "base/byte_order.h"

namespace sk720 {

const int32_t kRangeSampleCounts[15] = {240,  368,  448,  704,  848,   1040,  1376, 2048,
                                        2704, 4048, 6048, 8000, 13340, 16000, 20000};
const int32_t kRangeMillimetres[15] = {1500,  2500,  3000,  5000,  6000,   7500,   10000, 15000,
                                       20000, 30000, 45000, 60000, 100000, 120000, 150000};

namespace {

int32_t effectiveHeaderSize(uint32_t headersize) {
  return (headersize == 28 || headersize == 36) ? int32_t(headersize) : 44;
}

// Reads exactly `count` bytes into dst within one stage budget.
int32_t readStage(ByteSource& source, uint8_t* dst, uint32_t count, Clock& clock) {
  const uint32_t start = clock.nowMs();
  uint32_t got = 0;
  while (got < count) {
    int32_t n = source.read(dst + got, int32_t(count - got));
    if (n < 0) return kReadFailed;
    got += uint32_t(n);
    if (got < count) {
      if (clock.nowMs() - start > kStageBudgetMs) return kTimedOut;
      if (n == 0 && source.atEnd()) return kTimedOut;
    }
  }
  return 0;
}

std::array<uint16_t, 256> buildExpansion() {
  std::array<uint16_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    if (i < 64) {
      t[i] = uint16_t(i);
    } else {
      int s = (i >> 5) - 1;
      int k = (i & 31) + 1;
      t[i] = uint16_t((32 << s) - 1 + (k << s));
    }
  }
  return t;
}

const std::array<uint16_t, 256> kExpansion = buildExpansion();

}  // namespace

DataHeader parseDataHeader(const uint8_t* r) {
  DataHeader h;
  h.magic = loadU32(r);
  h.headersize = loadU32(r + 4);
  h.datasize = loadU32(r + 8);
  h.samples = loadU32(r + 12);
  h.deviceid = loadU32(r + 16);
  h.angle = loadU32(r + 20);
  h.commandid = loadU32(r + 24);
  const uint32_t reach = h.samples < uint32_t(kRecordBufferSize) ? h.samples : 0;
  if (h.headersize >= 36 && reach >= 36) {
    h.gyroangle = loadI32(r + 28);
    h.compass = loadI32(r + 32);
  }
  if (h.headersize >= 44 && reach >= 44) {
    h.latitude = loadF32(r + 36);
    h.longitude = loadF32(r + 40);
  }
  return h;
}

DataFooter parseDataFooter(const uint8_t* r) {
  const uint32_t len = loadU32(r + 12);
  DataFooter f;
  if (len >= 40 && len < uint32_t(kRecordBufferSize)) {
    f.timestamp = loadU32(r + len - 8);
    f.magic = loadU32(r + len - 4);
  }
  return f;
}

int32_t recordSampleOffset(const DataHeader& h) { return effectiveHeaderSize(h.headersize); }

int32_t recordSampleCount(const DataHeader& h) {
  const int64_t n = int64_t(h.samples) - effectiveHeaderSize(h.headersize) - kFooterSize;
  if (n <= 0 || h.samples >= uint32_t(kRecordBufferSize)) return 0;
  return int32_t(n);
}

int32_t ReadPingRecord(ByteSource& source, uint8_t* buffer, Clock& clock) {
  // Stage 1: hunt for "DATA", one byte per read call.
  uint32_t window = 0;
  int windowFill = 0;
  uint32_t start = clock.nowMs();
  for (;;) {
    uint8_t b;
    int32_t n = source.read(&b, 1);
    if (n < 0) return kReadFailed;
    if (n > 0) {
      window = (window >> 8) | (uint32_t(b) << 24);
      if (windowFill < 4) ++windowFill;
      if (windowFill == 4 && window == kDataMagic) break;
    } else if (source.atEnd()) {
      return kTimedOut;  // a file at its end: no point waiting out the budget
    }
    if (clock.nowMs() - start > kStageBudgetMs) return kTimedOut;
  }
  storeU32(buffer, window);

  // Stage 2: the rest of the fixed 40-byte prefix.
  int32_t r = readStage(source, buffer + 4, kRecordPrefix - 4, clock);
  if (r < 0) return r;
  if (loadU32(buffer) != kDataMagic) return kBadMagic;

  const uint32_t rest = loadU32(buffer + 12) - uint32_t(kRecordPrefix);
  if (rest >= kMaxRecordRest) return kBadLength;

  // Stage 3: the remainder of the record.
  r = readStage(source, buffer + kRecordPrefix, rest, clock);
  if (r < 0) return r;

  const uint32_t footer = loadU32(buffer + kRecordPrefix + rest - 4);
  if (footer == kEnd1Magic) return kRecordEnd1;
  if (footer == kEnd0Magic) return kRecordEnd0;
  return kBadFooter;
}

int32_t RangeFromRecordLength(uint32_t samples) {
  for (int i = 0; i < 15; ++i) {
    const uint32_t L = uint32_t(kRangeSampleCounts[i]);
    if (L <= samples && samples <= L + 24) return kRangeMillimetres[i];
  }
  return 60000;
}

int32_t LinesPerTurn(uint32_t commandid) {
  switch ((commandid >> 20) & 15) {
    case 2: return 1600;
    case 3: return 800;
    case 4: return 400;
    case 5: return 200;
    default: return 3200;
  }
}

uint16_t ExpandSample(uint8_t code) { return kExpansion[code]; }
const uint16_t* sampleExpansionTable() { return kExpansion.data(); }

}  // namespace sk720
