#include <gtest/gtest.h>

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
  void push(const std::vector<uint8_t>& bytes) { pending_.insert(pending_.end(), bytes.begin(), bytes.end()); }
  int32_t read(uint8_t* dst, int32_t max) override {
    ++calls;
    if (failAfter >= 0 && calls > failAfter) return -5;
    if (pending_.empty()) {
      clock_.advance(100);
      return 0;
    }
    int32_t n = 0;
    while (n < max && !pending_.empty()) {
      dst[n++] = pending_.front();
      pending_.pop_front();
    }
    clock_.advance(msPerRead);
    return n;
  }
  int calls = 0;
  int failAfter = -1;
  uint32_t msPerRead = 0;

 private:
  ManualClock& clock_;
  std::deque<uint8_t> pending_;
};

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST(ReadPingRecord, ReadsWholeRecordsAndSkipsWhatIsNotARecord) {
  ManualClock clock;
  std::vector<uint8_t> stream = bytes("xxDAT");                      // noise, a near miss
  std::vector<uint8_t> tail = buildRecord({.angle = 9, .samples = {1, 2, 3}});
  stream.insert(stream.end(), tail.begin() + 20, tail.end());        // mid-record start
  testing::append(stream, buildRecord({.headerSize = 28, .angle = 900, .samples = {5, 6, 0, 0}, .footer = kEnd0Magic}));
  testing::append(stream, bytes("garbage"));
  testing::append(stream, buildRecord({.headerSize = 36, .samples = {7}, .footer = 0x12345678}));
  MemorySource src(stream);
  uint8_t buf[kRecordBufferSize];

  ASSERT_EQ(ReadPingRecord(src, buf, clock), kRecordEnd0);
  DataHeader h = parseDataHeader(buf);
  EXPECT_EQ(h.headersize, 28u);
  EXPECT_EQ(h.angle, 900u);
  EXPECT_EQ(recordSampleCount(h), 4);
  EXPECT_EQ(buf[28], 5);

  ASSERT_EQ(ReadPingRecord(src, buf, clock), kBadFooter);  // returned whole, footer unknown
  EXPECT_EQ(parseDataHeader(buf).headersize, 36u);
  EXPECT_EQ(ReadPingRecord(src, buf, clock), kTimedOut);   // the end of a file: no waiting
  EXPECT_EQ(clock.nowMs(), 0u);
}

TEST(ReadPingRecord, RepeatedMagicStartsTheHeaderAtTheSecondCopy) {
  ManualClock clock;
  std::vector<uint8_t> rec = buildRecord({.headerSize = 28, .samples = std::vector<uint8_t>(4, 9)});
  std::vector<uint8_t> stream = bytes("DATA");
  testing::append(stream, rec);
  MemorySource src(stream);
  uint8_t buf[kRecordBufferSize];
  // The window matches on the first "DATA"; the next 36 bytes start with the second "D", so the
  // length field is read from the wrong place and the record is rejected or misread.
  const int32_t r = ReadPingRecord(src, buf, clock);
  EXPECT_NE(r, kRecordEnd1);
  EXPECT_EQ(buf[4], 'D');
}

TEST(ReadPingRecord, LengthBounds) {
  ManualClock clock;
  uint8_t buf[kRecordBufferSize];
  {
    // 39 is rejected before anything more is read; the next call hunts again.
    std::vector<uint8_t> s = buildRecord({.headerSize = 28, .lengthOverride = 39});
    s.resize(40);
    testing::append(s, buildRecord({.headerSize = 28, .angle = 18, .samples = {1, 2, 3, 4}}));
    MemorySource src(s);
    EXPECT_EQ(ReadPingRecord(src, buf, clock), kBadLength);
    EXPECT_EQ(src.position(), 40u);
    EXPECT_EQ(ReadPingRecord(src, buf, clock), kRecordEnd1);
    EXPECT_EQ(parseDataHeader(buf).angle, 18u);
  }
  {
    // 40 with a 28-byte header: the footer magic sits in bytes 36..39.
    std::vector<uint8_t> s = buildRecord({.headerSize = 28, .samples = std::vector<uint8_t>(4)});
    ASSERT_EQ(s.size(), 40u);
    MemorySource src(s);
    EXPECT_EQ(ReadPingRecord(src, buf, clock), kRecordEnd1);
  }
  for (int64_t len : {20395, 20396}) {
    std::vector<uint8_t> s = buildRecord({.samples = std::vector<uint8_t>(size_t(len - 52), 1)});
    MemorySource src(s);
    EXPECT_EQ(ReadPingRecord(src, buf, clock), len == 20395 ? kRecordEnd1 : kBadLength) << len;
  }
  {
    // A header that claims more than the record holds carries no samples.
    std::vector<uint8_t> s = buildRecord({.headerSize = 44, .lengthOverride = 40});
    s.resize(40);
    MemorySource src(s);
    EXPECT_EQ(ReadPingRecord(src, buf, clock), kBadFooter);
    EXPECT_EQ(recordSampleCount(parseDataHeader(buf)), 0);
  }
}

TEST(ReadPingRecord, EveryStageHasItsOwnBudget) {
  uint8_t buf[kRecordBufferSize];
  {
    ManualClock clock;
    ScriptedStream silent(clock);
    EXPECT_EQ(ReadPingRecord(silent, buf, clock), kTimedOut);
    EXPECT_GT(clock.nowMs(), 1000u);
    EXPECT_LE(clock.nowMs(), 1100u);
  }
  {
    // Bytes that never form "DATA" do not extend the hunt.
    ManualClock clock;
    ScriptedStream noisy(clock);
    noisy.msPerRead = 10;
    noisy.push(std::vector<uint8_t>(500, 'A'));
    EXPECT_EQ(ReadPingRecord(noisy, buf, clock), kTimedOut);
    EXPECT_LE(clock.nowMs(), 1020u);
  }
  {
    // A record that stops after its prefix: the third stage runs out of time.
    ManualClock clock;
    ScriptedStream stalled(clock);
    std::vector<uint8_t> r = buildRecord({.samples = std::vector<uint8_t>(100, 1)});
    r.resize(60);
    stalled.push(r);
    EXPECT_EQ(ReadPingRecord(stalled, buf, clock), kTimedOut);
  }
  {
    // Slow but steady delivery within each stage's budget succeeds.
    ManualClock clock;
    ScriptedStream slow(clock);
    slow.msPerRead = 20;
    slow.push(buildRecord({.samples = std::vector<uint8_t>(10, 1)}));
    EXPECT_EQ(ReadPingRecord(slow, buf, clock), kRecordEnd1);
  }
  {
    ManualClock clock;
    ScriptedStream lost(clock);
    lost.push(buildRecord({}));
    lost.failAfter = 5;  // four hunt reads and the prefix; the body's read fails
    EXPECT_EQ(ReadPingRecord(lost, buf, clock), kReadFailed);
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

  const int32_t expected[16] = {3200, 3200, 1600, 800, 400, 200, 3200, 3200,
                                3200, 3200, 3200, 3200, 3200, 3200, 3200, 3200};
  for (uint32_t code = 0; code < 16; ++code) {
    EXPECT_EQ(LinesPerTurn((code << 20) | 0xFF0FFFFFu), expected[code]) << code;
  }

  const std::pair<int, int> rows[] = {{0, 0},     {63, 63},     {64, 65},     {95, 127},
                                      {96, 131},  {127, 255},   {128, 263},   {160, 527},
                                      {192, 1055}, {224, 2111}, {255, 4095}};
  for (auto [code, value] : rows) EXPECT_EQ(ExpandSample(uint8_t(code)), value) << code;
  for (int i = 1; i < 256; ++i) EXPECT_GT(ExpandSample(uint8_t(i)), ExpandSample(uint8_t(i - 1)));
}

}  // namespace
}  // namespace sk720
