#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <deque>
#include <string>

#include "base/memory_source.h"
#include "record_builder.h"
#include "records/ping_record.h"

namespace sk720 {
namespace {

using testing::buildRecord;
using testing::RecordSpec;

// A live stream: hands out scripted chunks; each empty read costs 100 ms of the manual clock.
class ScriptedStream : public ByteSource {
 public:
  explicit ScriptedStream(ManualClock& clock) : clock_(clock) {}
  void push(const std::vector<uint8_t>& bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  }
  int32_t read(uint8_t* dst, int32_t max) override {
    ++calls;
    if (failAfter >= 0 && calls > failAfter) return -5;
    if (stopAtMs && clock_.nowMs() >= stopAtMs) stop = true;
    if (pending_.empty()) {
      clock_.advance(100);
      return 0;
    }
    int32_t n = 0;
    while (n < max && n < chunk && !pending_.empty()) {
      dst[n++] = pending_.front();
      pending_.pop_front();
    }
    clock_.advance(msPerRead);
    return n;
  }
  uint32_t bitsPerSecond() override { return rate; }
  int calls = 0;
  int failAfter = -1;
  uint32_t msPerRead = 0;
  int32_t chunk = INT32_MAX;
  uint32_t rate = 0;
  uint32_t stopAtMs = 0;  // raises `stop` once the clock reaches it
  std::atomic<bool> stop{false};

 private:
  ManualClock& clock_;
  std::deque<uint8_t> pending_;
};

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(ReadPingRecord, ReadsWholeRecordsAndSkipsWhatIsNotARecord) {
  ManualClock clock;
  std::vector<uint8_t> stream = bytes("xxDAT");  // noise, a near miss
  std::vector<uint8_t> tail = buildRecord({.angle = 9, .samples = {1, 2, 3}});
  stream.insert(stream.end(), tail.begin() + 20, tail.end());  // mid-record start
  testing::append(
      stream,
      buildRecord({.headerSize = 28, .angle = 900, .samples = {5, 6, 0, 0}, .footer = kEnd0Magic}));
  testing::append(stream, bytes("garbage"));
  testing::append(stream, buildRecord({.headerSize = 36, .samples = {7}, .footer = 0x12345678}));
  MemorySource src(stream);
  uint8_t buf[kRecordBufferSize];
  RecordReader reader;

  ASSERT_EQ(ReadPingRecord(src, buf, clock, reader), kRecordEnd0);
  DataHeader h = parseDataHeader(buf);
  EXPECT_EQ(h.headersize, 28u);
  EXPECT_EQ(h.angle, 900u);
  EXPECT_EQ(recordSampleCount(h), 4);
  EXPECT_EQ(buf[28], 5);

  ASSERT_EQ(ReadPingRecord(src, buf, clock, reader),
            kBadFooter);  // returned whole, footer unknown
  EXPECT_EQ(parseDataHeader(buf).headersize, 36u);
  EXPECT_EQ(ReadPingRecord(src, buf, clock, reader),
            kTimedOut);  // the end of a file: no waiting
  EXPECT_EQ(clock.nowMs(), 0u);
}

TEST(ReadPingRecord, ADamagedRecordNeverTakesAGoodNeighbourWithIt) {
  ManualClock clock;
  uint8_t buf[kRecordBufferSize];
  const auto good = [](uint32_t angle) {
    return buildRecord({.headerSize = 36, .angle = angle, .samples = std::vector<uint8_t>(60, 3)});
  };
  // A stray "DATA" right before a record: the window matches on it, and its 36
  // bytes start at the record's own magic.
  std::vector<uint8_t> stray = bytes("DATA");
  testing::append(stray, good(1));
  // A length field that grew swallows the next two records; a file ends inside
  // a record that swallowed the last one.
  std::vector<uint8_t> grown =
      buildRecord({.angle = 10, .samples = std::vector<uint8_t>(60, 3), .lengthOverride = 300});
  testing::append(grown, good(11));
  testing::append(grown, good(12));
  std::vector<uint8_t> cut =
      buildRecord({.angle = 30, .samples = std::vector<uint8_t>(10, 3), .lengthOverride = 20000});
  testing::append(cut, good(31));
  const std::pair<std::vector<uint8_t>, std::vector<uint32_t>> cases[] = {
      {stray, {1}}, {grown, {11, 12}}, {cut, {31}}};
  for (const auto& [stream, expected] : cases) {
    MemorySource src(stream);
    RecordReader reader;
    std::vector<uint32_t> angles;
    for (int i = 0; i < 10 && !(src.atEnd() && reader.pendingBytes() == 0); ++i) {
      if (ReadPingRecord(src, buf, clock, reader) >= 0)
        angles.push_back(parseDataHeader(buf).angle);
    }
    EXPECT_EQ(angles, expected) << stream.size();
  }
}

TEST(ReadPingRecord, LengthBounds) {
  ManualClock clock;
  uint8_t buf[kRecordBufferSize];
  RecordReader reader;
  {
    // 39 is rejected before anything more is read; the next call hunts again.
    std::vector<uint8_t> s = buildRecord({.headerSize = 28, .lengthOverride = 39});
    s.resize(40);
    testing::append(s, buildRecord({.headerSize = 28, .angle = 18, .samples = {1, 2, 3, 4}}));
    MemorySource src(s);
    EXPECT_EQ(ReadPingRecord(src, buf, clock, reader), kBadLength);
    EXPECT_EQ(src.position(), 40u);
    EXPECT_EQ(ReadPingRecord(src, buf, clock, reader), kRecordEnd1);
    EXPECT_EQ(parseDataHeader(buf).angle, 18u);
  }
  {
    // 40 with a 28-byte header: the footer magic sits in bytes 36..39.
    std::vector<uint8_t> s = buildRecord({.headerSize = 28, .samples = std::vector<uint8_t>(4)});
    ASSERT_EQ(s.size(), 40u);
    MemorySource src(s);
    EXPECT_EQ(ReadPingRecord(src, buf, clock, reader), kRecordEnd1);
  }
  {
    // A header that claims more than the record holds carries no samples.
    std::vector<uint8_t> s = buildRecord({.headerSize = 44, .lengthOverride = 40});
    s.resize(40);
    MemorySource src(s);
    EXPECT_EQ(ReadPingRecord(src, buf, clock, reader), kBadFooter);
    EXPECT_EQ(recordSampleCount(parseDataHeader(buf)), 0);
  }
}

TEST(ReadPingRecord, EveryStageHasItsOwnBudget) {
  uint8_t buf[kRecordBufferSize];
  RecordReader reader;
  {
    ManualClock clock;
    ScriptedStream silent(clock);
    EXPECT_EQ(ReadPingRecord(silent, buf, clock, reader), kTimedOut);
    EXPECT_GT(clock.nowMs(), 1000u);
    EXPECT_LE(clock.nowMs(), 1100u);
  }
  {
    // Bytes that never form "DATA" do not extend the hunt.
    ManualClock clock;
    ScriptedStream noisy(clock);
    noisy.msPerRead = 10;
    noisy.push(std::vector<uint8_t>(500, 'A'));
    EXPECT_EQ(ReadPingRecord(noisy, buf, clock, reader), kTimedOut);
    EXPECT_LE(clock.nowMs(), 1020u);
  }
  {
    // A record that stops after its prefix: the third stage runs out of time.
    ManualClock clock;
    ScriptedStream stalled(clock);
    std::vector<uint8_t> r = buildRecord({.samples = std::vector<uint8_t>(100, 1)});
    r.resize(60);
    stalled.push(r);
    EXPECT_EQ(ReadPingRecord(stalled, buf, clock, reader), kTimedOut);
    reader.discardPending();
  }
  {
    ManualClock clock;
    ScriptedStream lost(clock);
    lost.push(buildRecord({}));
    lost.failAfter = 5;  // four hunt reads and the prefix; the body's read fails
    EXPECT_EQ(ReadPingRecord(lost, buf, clock, reader), kReadFailed);
  }
}

TEST(ReadPingRecord, TheBodysBudgetCoversItsTimeOnTheWire) {
  // A 150 m record (20024 bytes) at 115200 baud takes about 1.74 s on the wire:
  // 1152 bytes every 100 ms. Its body stage gets 1000 ms plus that time; a
  // faster link allows less.
  const std::vector<uint8_t> record = buildRecord({.samples = std::vector<uint8_t>(20024 - 52, 1)});
  for (uint32_t rate : {115200u, 1000000u}) {
    ManualClock clock;
    ScriptedStream link(clock);
    link.rate = rate;
    link.chunk = 1152;
    link.msPerRead = 100;
    link.push(record);
    uint8_t buf[kRecordBufferSize];
    RecordReader reader;
    EXPECT_EQ(ReadPingRecord(link, buf, clock, reader), rate == 115200 ? kRecordEnd1 : kTimedOut)
        << rate;
  }
  EXPECT_EQ(recordBodyBudgetMs(20000, 0),
            1000u);  // a file: the plain stage budget
}

TEST(ReadPingRecord, AStopEndsEveryStageWithinOneRead) {
  // Silent before the magic, stalled after the prefix, stalled inside a long
  // body.
  std::vector<uint8_t> record = buildRecord({.samples = std::vector<uint8_t>(20000, 1)});
  const std::vector<uint8_t> streams[] = {
      {},
      std::vector<uint8_t>(record.begin(), record.begin() + 20),
      std::vector<uint8_t>(record.begin(), record.begin() + 900)};
  for (const auto& bytesSent : streams) {
    ManualClock clock;
    ScriptedStream link(clock);
    link.rate = 115200;
    link.push(bytesSent);
    link.stopAtMs = 300;
    uint8_t buf[kRecordBufferSize];
    RecordReader reader(&link.stop);
    EXPECT_EQ(ReadPingRecord(link, buf, clock, reader), kReadStopped) << bytesSent.size();
    EXPECT_LE(clock.nowMs(), 400u) << bytesSent.size();
  }
}

TEST(RecordDecoding, RangeLinesAndExpansion) {
  EXPECT_EQ(RangeFromRecordLength(448), 3000);
  EXPECT_EQ(RangeFromRecordLength(472), 3000);
  EXPECT_EQ(RangeFromRecordLength(473), 60000);
  EXPECT_EQ(RangeFromRecordLength(239), 60000);
  EXPECT_EQ(RangeFromRecordLength(240), 1500);
  EXPECT_EQ(RangeFromRecordLength(20024), 150000);
  for (uint32_t s = 8000; s <= 8024; ++s) EXPECT_EQ(RangeFromRecordLength(s), 60000);

  const int32_t expected[16] = {3200, 3200, 1600, 800,  400,  200,  3200, 3200,
                                3200, 3200, 3200, 3200, 3200, 3200, 3200, 3200};
  for (uint32_t code = 0; code < 16; ++code) {
    EXPECT_EQ(LinesPerTurn((code << 20) | 0xFF0FFFFFu), expected[code]) << code;
  }

  const std::pair<int, int> rows[] = {{0, 0},      {63, 63},    {64, 65},   {95, 127},
                                      {96, 131},   {127, 255},  {128, 263}, {160, 527},
                                      {192, 1055}, {224, 2111}, {255, 4095}};
  for (auto [code, value] : rows) EXPECT_EQ(ExpandSample(uint8_t(code)), value) << code;
  for (int i = 1; i < 256; ++i) EXPECT_GT(ExpandSample(uint8_t(i)), ExpandSample(uint8_t(i - 1)));
}

}  // namespace
}  // namespace sk720
