// The record reader over files and live streams, its stage budgets, and the decoding rules.
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <string>
#include <tuple>

#include "base/memory_source.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "scripted_port.h"

namespace sk720 {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::buildRecord;

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }
Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) testing::append(all, p);
  return all;
}
Bytes cut(Bytes b, size_t n) {
  b.resize(n);
  return b;
}
Bytes good(uint32_t angle, uint32_t header = 36) {
  return buildRecord({.headerSize = header, .angle = angle, .samples = Bytes(60, 3)});
}

// Every read of a file, as (result, angle); the angle only of results that carry a header.
std::vector<std::pair<int32_t, uint32_t>> readAll(const Bytes& file) {
  MemorySource src(file);
  ManualClock clock;
  RecordReader reader;
  static uint8_t buf[kRecordBufferSize];
  std::vector<std::pair<int32_t, uint32_t>> reads;
  for (int i = 0; i < 10 && !(src.atEnd() && reader.pendingBytes() == 0); ++i) {
    const int32_t r = ReadPingRecord(src, buf, clock, reader);
    reads.emplace_back(r, r >= kBadLength ? parseDataHeader(buf).angle : 0);
  }
  EXPECT_EQ(clock.nowMs(), 0u);  // a file's end is not waited for
  return reads;
}

// A damaged record never takes a good neighbour with it: what a rejected record swallowed is
// searched again, also when a second rejection happens inside those bytes.
TEST(ReadPingRecord, FilesReadWholeRecordsAndSkipWhatIsNotOne) {
  const Bytes grown = buildRecord({.angle = 10, .samples = Bytes(60, 3), .lengthOverride = 300});
  const Bytes nine = good(9);
  const Bytes tooShort = cut(buildRecord({.headerSize = 28, .lengthOverride = 39}), 40);
  const struct {
    const char* what;
    Bytes file;
    std::vector<std::pair<int32_t, uint32_t>> reads;
  } cases[] = {
      {"noise, a near miss, a record's tail, END0, garbage, an unknown footer",
       cat({text("xxDAT"), Bytes(nine.begin() + 20, nine.end()),
            buildRecord(
                {.headerSize = 28, .angle = 900, .samples = {5, 6, 0, 0}, .footer = kEnd0Magic}),
            text("garbage"), buildRecord({.angle = 5, .samples = {7}, .footer = 0x12345678})}),
       {{kRecordEnd0, 900}, {kBadFooter, 5}, {kTimedOut, 0}}},
      {"a stray DATA before a record",
       cat({text("DATA"), good(1)}),
       {{kBadFooter, 7}, {kRecordEnd1, 1}}},
      {"a grown length swallowing a bad length and two records",
       cat({grown, tooShort, good(11), good(12)}),
       {{kBadFooter, 10}, {kBadLength, 0}, {kRecordEnd1, 11}, {kRecordEnd1, 12}}},
      {"a file ending inside a record that swallowed the last one",
       cat({buildRecord({.angle = 30, .samples = Bytes(10, 3), .lengthOverride = 20000}),
            good(31)}),
       {{kTimedOut, 0}, {kRecordEnd1, 31}}},
      {"length 39, then the shortest record (40)",
       cat({tooShort, buildRecord({.headerSize = 28, .angle = 18, .samples = Bytes(4)})}),
       {{kBadLength, 0}, {kRecordEnd1, 18}}},
      {"a header longer than its record",
       cut(buildRecord({.lengthOverride = 40}), 40),
       {{kBadFooter, 0}, {kTimedOut, 0}}},
  };
  for (const auto& c : cases) EXPECT_EQ(readAll(c.file), c.reads) << c.what;
}

TEST(ReadPingRecord, EveryStageHasItsOwnBudgetAndAStopEndsItWithinOneRead) {
  const Bytes body = buildRecord({.samples = Bytes(100, 1)});
  const Bytes wide = buildRecord({.samples = Bytes(20024 - 52, 1)});  // 150 m: 1.74 s at 115200
  const Bytes huge = buildRecord({.samples = Bytes(20000, 1)});
  const struct {
    const char* what;
    Bytes bytes;
    uint32_t rate, msPerRead, stopAtMs;
    int32_t chunk, failAfter, result;
    uint32_t minMs, maxMs;
  } cases[] = {
      {"silent", {}, 0, 0, 0, INT32_MAX, -1, kTimedOut, 1001, 1100},
      {"noise never forming DATA", Bytes(500, 'A'), 0, 10, 0, INT32_MAX, -1, kTimedOut, 1001, 1020},
      {"stalled after the prefix", cut(body, 60), 0, 0, 0, INT32_MAX, -1, kTimedOut, 1001, 1100},
      {"the body's read fails", body, 0, 0, 0, INT32_MAX, 5, kReadFailed, 0, 0},
      {"a long body within its time on the wire", wide, 115200, 100, 0, 1152, -1, kRecordEnd1, 2300,
       2300},
      {"a faster link allows less", wide, 1000000, 100, 0, 1152, -1, kTimedOut, 1800, 1800},
      {"stopped before the magic", {}, 115200, 0, 300, INT32_MAX, -1, kReadStopped, 300, 400},
      {"stopped after the prefix", cut(huge, 20), 115200, 0, 300, INT32_MAX, -1, kReadStopped, 300,
       400},
      {"stopped inside a long body", cut(huge, 900), 115200, 0, 300, INT32_MAX, -1, kReadStopped,
       300, 400},
  };
  static uint8_t buf[kRecordBufferSize];
  for (const auto& c : cases) {
    ManualClock clock;
    testing::ScriptedPort link(&clock);
    if (!c.bytes.empty()) link.then(std::string(c.bytes.begin(), c.bytes.end()));
    std::atomic<bool> stop{false};
    link.rate = c.rate, link.msPerRead = c.msPerRead, link.raiseAtMs = c.stopAtMs;
    link.chunk = c.chunk, link.failAfter = c.failAfter, link.raise = &stop;
    RecordReader reader(&stop);
    EXPECT_EQ(ReadPingRecord(link, buf, clock, reader), c.result) << c.what;
    EXPECT_GE(clock.nowMs(), c.minMs) << c.what;
    EXPECT_LE(clock.nowMs(), c.maxMs) << c.what;
  }
  // 1000 ms plus ten bits a byte on the wire, rounded up; a source without a rate gets 1000.
  const uint32_t budgets[][3] = {
      {20000, 0, 1000}, {1152, 115200, 1100}, {1, 115200, 1001}, {19984, 921600, 1217}};
  for (auto [bytes, rate, ms] : budgets) EXPECT_EQ(recordBodyBudgetMs(bytes, rate), ms) << bytes;
}

TEST(RecordDecoding, HeaderFormsRangesLinesAndExpansion) {
  const Bytes r28 =
      buildRecord({.headerSize = 28, .angle = 900, .gyro = 5, .samples = {5, 6, 0, 0}});
  const DataHeader h = parseDataHeader(r28.data());
  EXPECT_EQ(h.gyroangle, 0);  // beyond a 28-byte header: the samples, not a gyro
  EXPECT_EQ(recordSampleCount(h), 4);
  EXPECT_EQ(recordSampleCount(parseDataHeader(cut(buildRecord({.lengthOverride = 40}), 40).data())),
            0);
  const Bytes r44 =
      buildRecord({.gyro = -7, .compass = 9, .lat = 0.5f, .lon = -0.25f, .samples = {1}});
  const DataHeader f = parseDataHeader(r44.data());
  EXPECT_EQ(std::make_tuple(f.gyroangle, f.compass, f.latitude, f.longitude),
            std::make_tuple(-7, 9, 0.5f, -0.25f));
  EXPECT_EQ(parseDataFooter(r44.data()).magic, kEnd1Magic);
  // Footers, samples and the header's later fields only of lengths from the shortest record to
  // the longest the buffer holds, and fields only inside the length.
  Bytes big(kRecordBufferSize, 0xFF);
  storeU32(&big[4], 44);
  // length; the footer's magic, the compass and whether the latitude was read
  const std::tuple<uint32_t, uint32_t, int32_t, bool> footers[] = {
      {35, 0, 0, false},
      {36, 0, -1, false},
      {39, 0, -1, false},
      {40, 0xFFFFFFFF, -1, false},
      {kRecordBufferSize - 1, 0xFFFFFFFF, -1, true},
      {kRecordBufferSize, 0, 0, false}};
  for (auto [length, magic, compass, latitude] : footers) {
    storeU32(&big[12], length);
    const DataHeader h = parseDataHeader(big.data());
    EXPECT_EQ(std::make_tuple(parseDataFooter(big.data()).magic, h.compass, std::isnan(h.latitude)),
              std::make_tuple(magic, compass, latitude))
        << length;
  }
  EXPECT_EQ(recordSampleCount({.headersize = 44, .samples = kRecordBufferSize - 1}),
            kRecordBufferSize - 53);
  EXPECT_EQ(recordSampleCount({.headersize = 44, .samples = kRecordBufferSize}), 0);
  const std::pair<uint32_t, int32_t> offsets[] = {{28, 28}, {36, 36}, {44, 44}, {40, 44}};
  for (auto [form, at] : offsets) EXPECT_EQ(recordSampleOffset(DataHeader{.headersize = form}), at);

  const std::pair<uint32_t, int32_t> ranges[] = {{448, 3000},   {472, 3000},   {473, 60000},
                                                 {239, 60000},  {240, 1500},   {20024, 150000},
                                                 {8000, 60000}, {8024, 60000}, {20000, 150000}};
  for (auto [length, mm] : ranges) EXPECT_EQ(RangeFromRecordLength(length), mm) << length;
  const int32_t lines[16] = {3200, 3200, 1600, 800,  400,  200,  3200, 3200,
                             3200, 3200, 3200, 3200, 3200, 3200, 3200, 3200};
  for (uint32_t code = 0; code < 16; ++code) {
    EXPECT_EQ(LinesPerTurn((code << 20) | 0xFF0FFFFFu), lines[code]) << code;
  }
  const std::pair<int, int> rows[] = {{0, 0},      {63, 63},    {64, 65},   {95, 127},
                                      {96, 131},   {127, 255},  {128, 263}, {160, 527},
                                      {192, 1055}, {224, 2111}, {255, 4095}};
  for (auto [code, value] : rows) EXPECT_EQ(ExpandSample(uint8_t(code)), value) << code;
  for (int i = 1; i < 256; ++i) EXPECT_GT(ExpandSample(uint8_t(i)), ExpandSample(uint8_t(i - 1)));
}

}  // namespace
}  // namespace sk720
