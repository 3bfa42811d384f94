#include "records/ping_record.h"

#include <algorithm>
#include <array>
#include <cstring>

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

uint32_t maxRecordLength(uint32_t headersize) {
  return kMaxRecordLength - uint32_t(44 - effectiveHeaderSize(headersize));
}

uint32_t recordBodyBudgetMs(uint32_t bytes, uint32_t bitsPerSecond) {
  if (bitsPerSecond == 0) return kStageBudgetMs;
  const uint64_t wireMs = (uint64_t(bytes) * 10 * 1000 + bitsPerSecond - 1) / bitsPerSecond;
  return kStageBudgetMs + uint32_t(wireMs);
}

int32_t RecordReader::take(ByteSource& source, uint8_t* dst, int32_t maxBytes) {
  if (pendingPos_ < pending_.size()) {
    const size_t n = std::min(pending_.size() - pendingPos_, size_t(maxBytes));
    std::memcpy(dst, pending_.data() + pendingPos_, n);
    pendingPos_ += n;
    return int32_t(n);
  }
  return source.read(dst, maxBytes);
}

bool RecordReader::exhausted(const ByteSource& source) const {
  return pendingPos_ >= pending_.size() && source.atEnd();
}

void RecordReader::pushBack(const uint8_t* bytes, size_t count) {
  // What a record consumed goes before what is still pending from an earlier
  // rejection.
  std::vector<uint8_t> next;
  next.reserve(count + pendingBytes());
  next.insert(next.end(), bytes, bytes + count);
  next.insert(next.end(), pending_.begin() + std::ptrdiff_t(pendingPos_), pending_.end());
  pending_.swap(next);
  pendingPos_ = 0;
}

// Reads exactly `count` bytes into dst within one stage budget; `got` says how
// many came.
int32_t RecordReader::readStage(ByteSource& source, uint8_t* dst, uint32_t count, uint32_t budgetMs,
                                Clock& clock, uint32_t& got) {
  const uint32_t start = clock.nowMs();
  got = 0;
  while (got < count) {
    const int32_t n = take(source, dst + got, int32_t(count - got));
    if (n < 0) return kReadFailed;
    got += uint32_t(n);
    if (got < count) {
      if (stopped()) return kReadStopped;
      if (clock.nowMs() - start > budgetMs) return kTimedOut;
      if (n == 0 && exhausted(source)) return kTimedOut;
    }
  }
  return 0;
}

int32_t ReadPingRecord(ByteSource& source, uint8_t* buffer, Clock& clock, RecordReader& reader) {
  // Stage 1: hunt for "DATA", one byte per read call.
  uint32_t window = 0;
  int windowFill = 0;
  const uint32_t start = clock.nowMs();
  for (;;) {
    uint8_t b;
    const int32_t n = reader.take(source, &b, 1);
    if (n < 0) return kReadFailed;
    if (n > 0) {
      window = (window >> 8) | (uint32_t(b) << 24);
      if (windowFill < 4) ++windowFill;
      if (windowFill == 4 && window == kDataMagic) break;
    } else if (reader.exhausted(source)) {
      return kTimedOut;  // a file at its end: no point waiting out the budget
    }
    if (reader.stopped()) return kReadStopped;
    if (clock.nowMs() - start > kStageBudgetMs) return kTimedOut;
  }
  storeU32(buffer, window);

  // Stage 2: the rest of the fixed 40-byte prefix. Stage 3: the remainder of
  // the record.
  uint32_t got = 0;
  uint32_t consumed = 4;
  int32_t r = reader.readStage(source, buffer + 4, kRecordPrefix - 4, kStageBudgetMs, clock, got);
  consumed += got;
  if (r == 0 && loadU32(buffer) != kDataMagic) r = kBadMagic;
  const uint32_t samples = loadU32(buffer + 12);
  if (r == 0 &&
      (samples < uint32_t(kRecordPrefix) || samples > maxRecordLength(loadU32(buffer + 4)))) {
    r = kBadLength;
  }
  if (r == 0) {
    const uint32_t rest = samples - uint32_t(kRecordPrefix);
    r = reader.readStage(source, buffer + kRecordPrefix, rest,
                         recordBodyBudgetMs(rest, source.bitsPerSecond()), clock, got);
    consumed += got;
    if (r == 0) {
      const uint32_t footer = loadU32(buffer + samples - 4);
      if (footer == kEnd1Magic) return kRecordEnd1;
      if (footer == kEnd0Magic) return kRecordEnd0;
      r = kBadFooter;
    }
  }
  // A rejected or cut-off record may have swallowed the start of a good one:
  // the next hunt begins right after this record's "D".
  if (r != kReadFailed) reader.pushBack(buffer + 1, consumed - 1);
  return r;
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
    case 2:
      return 1600;
    case 3:
      return 800;
    case 4:
      return 400;
    case 5:
      return 200;
    default:
      return 3200;
  }
}

uint16_t ExpandSample(uint8_t code) { return kExpansion[code]; }
const uint16_t* sampleExpansionTable() { return kExpansion.data(); }

}  // namespace sk720
