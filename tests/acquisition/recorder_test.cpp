// The recorder over an in-memory record storage and over files.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <vector>

#include "acquisition_fixture.h"
#include "base/memory_source.h"
#include "base/timestamp.h"
#include "base/utf16.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "records/recorder.h"
#include "scratch_test.h"

namespace sk720 {
namespace {

using testing::buildRecord;

// A file opened in memory, with the record event set.
class RecorderTest : public testing::ScratchTest {
 protected:
  void SetUp() override { ASSERT_TRUE(open()); }
  static testing::RecordSpec spec(uint32_t headerSize, uint32_t angle, size_t sampleCount) {
    testing::RecordSpec s{.headerSize = headerSize, .angle = angle, .gyro = -120, .compass = 345};
    s.lat = 9.0f, s.lon = 8.0f;
    for (size_t i = 0; i < sampleCount; ++i) s.samples.push_back(uint8_t(i * 7 + angle));
    return s;
  }
  static std::vector<uint8_t> record(uint32_t headerSize, uint32_t angle, size_t sampleCount) {
    return buildRecord(spec(headerSize, angle, sampleCount));
  }
  bool open(const std::string& folder = "work", const std::string& stamp = "20240102_030405") {
    return openRecordFile(storage, folder, stamp, file, status);
  }
  const std::vector<uint8_t>& bytes() { return storage.files.at(file.path); }

  testing::MemoryStorage storage;
  RecordFile file;
  StatusText status;
  std::atomic<bool> recordEvent{true};
  GpsFix gps;
  ScanInputs inputs;
  RecorderShared shared{recordEvent, gps, inputs, status};
};

// Only while the event is set, and every record with the 44-byte header: a 28-byte one gains zero
// gyro and compass, a 36-byte one keeps them; the position is always the receiver's.
TEST_F(RecorderTest, RecordsOnlyWhileTheEventIsSetWithHeadersWidened) {
  EXPECT_NE(file.path.find("rez720_20240102_030405.bin"), std::string::npos);
  EXPECT_EQ(status.get(), file.path + " : Recording paused");
  gps.lat = 0.5f, gps.lon = -1.25f;
  std::vector<uint8_t> expected;
  for (uint32_t i = 0; i < 300; ++i) {
    const uint32_t form = i % 3 == 0 ? 28 : 36 + 8 * (i % 2);
    recordEvent = i >= 100 && i < 200;
    inputs.compassValid = 1;
    ASSERT_TRUE(recordPing(file, record(form, i, 50 + i % 7).data(), shared));
    EXPECT_EQ(inputs.compassFieldsPresent.load() * 10 + inputs.compassValid, form == 28 ? 0 : 11);
    testing::RecordSpec wide = spec(44, i, 50 + i % 7);
    if (form == 28) wide.gyro = wide.compass = 0;
    wide.lat = 0.5f, wide.lon = -1.25f;
    if (recordEvent) testing::append(expected, buildRecord(wide));
    if (i == 99 || i == 150) {
      EXPECT_EQ(status.get(), file.path + (i == 99 ? " : Record paused" : " : Record in progress"));
    }
  }
  ASSERT_TRUE(closeRecordFile(storage, file));
  EXPECT_EQ(bytes(), expected);

  // A file that received nothing is deleted.
  ASSERT_TRUE(open("work", "20240102_030406"));
  const std::string unused = file.path;
  recordEvent = false;
  ASSERT_TRUE(recordPing(file, record(44, 1, 10).data(), shared));
  EXPECT_FALSE(closeRecordFile(storage, file) || storage.files.count(unused));
}

TEST_F(RecorderTest, EveryRecordTheReaderTakesReadsBackFromTheFile) {
  ManualClock clock;
  std::vector<uint8_t> buffer(kRecordBufferSize);
  // The longest record of each header form passes the reader on the link, one
  // byte more does not; widened, each is 20411 bytes in the file.
  const std::pair<uint32_t, size_t> longest[] = {{28, 20395}, {36, 20403}, {44, 20411}};
  for (auto [form, length] : longest) {
    for (size_t len : {length, length + 1}) {
      const std::vector<uint8_t> r = record(form, 7, len - form - 8);
      MemorySource live(r);
      RecordReader reader;
      const int32_t got = ReadPingRecord(live, buffer.data(), clock, reader);
      EXPECT_EQ(got, len > length ? kBadLength : kRecordEnd1) << len;
      ASSERT_TRUE(got != kRecordEnd1 || recordPing(file, buffer.data(), shared));
    }
  }
  EXPECT_EQ(testing::readRecords(bytes()).size(), 3u);
  EXPECT_EQ(bytes().size(), 3u * 20411);
}

TEST_F(RecorderTest, WritesThatCannotStartAndRecordsTooShortForTheirHeader) {
  // The header's write fails: the body must not follow it into the file.
  storage.failAppendNumber = 0;
  EXPECT_FALSE(recordPing(file, record(44, 5, 20).data(), shared));
  EXPECT_TRUE(bytes().empty());
  // The body's write fails.
  storage.failAppendNumber = 2;
  EXPECT_FALSE(recordPing(file, record(44, 5, 20).data(), shared));

  // A record whose length does not cover its own header and footer is passed over.
  ASSERT_TRUE(open("work", "x"));
  EXPECT_TRUE(recordPing(file, buildRecord({.lengthOverride = 40}).data(), shared));
  EXPECT_TRUE(bytes().empty());
}

// The write blocks a slow medium holds stay bounded: a medium that falls behind for a while and
// catches up loses nothing, one that stalls loses records (said on the status line) instead of
// taking memory without end, and recording goes on by itself once it moves again.
TEST_F(RecorderTest, PendingWritesOnASlowMediumStayBounded) {
  // 16 KiB records: the bound holds exactly kHeld (256) of them.
  constexpr size_t kSamples = 16384 - kRecordHeaderSize - 8;
  constexpr uint64_t kRecordBytes = kRecordHeaderSize + kSamples + 8;
  static_assert(kMaxPendingWriteBytes % kRecordBytes == 0);
  constexpr uint32_t kHeld = kMaxPendingWriteBytes / kRecordBytes;
  // Records, records' worth the medium takes per record, whether records are lost: stalled for as
  // many records as the bound holds; full, then keeping pace (each record finds just its own
  // room); catching up at twice the link's pace; stalled for long; moving again at twice the pace.
  const uint32_t phases[][3] = {{kHeld, 0, 0}, {50, 1, 0}, {200, 2, 0}, {2000, 0, 1}, {400, 2, 0}};
  uint32_t angle = 0;
  std::vector<uint32_t> kept;
  for (const auto& [records, pace, expectSkips] : phases) {
    SCOPED_TRACE(records);
    storage.landPerCall = pace * kRecordBytes;
    const uint64_t skippedBefore = file.recordsSkipped;
    for (uint32_t i = 0; i < records; ++i, ++angle) {
      const uint64_t skipped = file.recordsSkipped;
      ASSERT_TRUE(recordPing(file, record(36, angle, kSamples).data(), shared));
      if (file.recordsSkipped == skipped) kept.push_back(angle);
      file.sink->completeFinished();
    }
    EXPECT_EQ(file.recordsSkipped > skippedBefore, expectSkips != 0);
    EXPECT_EQ(status.get().find("too slow") != std::string::npos, expectSkips != 0) << status.get();
  }
  EXPECT_LE(storage.peakPending, kMaxPendingWriteBytes);  // also between a header and its body
  ASSERT_TRUE(closeRecordFile(storage, file));

  // The file holds exactly the kept records, whole and in order.
  ASSERT_EQ(bytes().size(), kept.size() * kRecordBytes);
  const std::vector<DataHeader> headers = testing::readRecords(bytes());
  ASSERT_EQ(headers.size(), kept.size());
  for (size_t i = 0; i < kept.size(); ++i) ASSERT_EQ(headers[i].angle, kept[i]) << i;
}

// The path limit counts characters as Windows does (UTF-16 units), so a working folder in
// Cyrillic or Hangul may be as long as one in Latin letters; the status text is cut to its 255
// units without splitting a character.
TEST_F(RecorderTest, PathLimitAndStatusTextCountUtf16Units) {
  const std::string wave = "\xF0\x9F\x8C\x8A";  // beyond the basic plane: two units
  const size_t room = kMaxRecordPathChars - std::string("/rez720_20240102_030405.bin").size();
  EXPECT_TRUE(open(utf16ToUtf8(std::u16string(room, u'\u0436'))));
  const std::u16string shown = utf8ToUtf16(status.get());
  EXPECT_EQ(shown.size(), StatusText::kMaxChars);
  EXPECT_EQ(utf16ToUtf8(shown), status.get());  // no character cut in two
  EXPECT_EQ(utf8ToUtf16(wave + "\u0436"), u"\U0001F30A\u0436");
  EXPECT_EQ(utf8ToUtf16("\U00010000"), u"\U00010000");              // the first beyond the plane
  EXPECT_EQ(utf8ToUtf16("\x80\x7F\xC2\x80"), u"\uFFFD\x7F\u0080");  // a stray continuation byte
  EXPECT_EQ(utf16ToUtf8(u"\U0001F30A\u0436"), wave + "\u0436");
  EXPECT_EQ(utf16ToUtf8(std::u16string{0xDFFF, u'a', 0xD800}), "\uFFFDa\uFFFD");  // lone halves
  EXPECT_EQ(utf16Length("\u0080\u0800\U00010000"), 4u);  // the shortest of each length
  EXPECT_TRUE(open(utf16ToUtf8(std::u16string(room - 2, u'\uD55C')) + wave));
  EXPECT_FALSE(open(utf16ToUtf8(std::u16string(room - 1, u'\uD55C')) + wave));
  EXPECT_FALSE(open(std::string(room + 1, 'f')));

  // A character that would straddle the limit is left out whole.
  status.set(std::string(StatusText::kMaxChars - 1, 'a') + wave);
  EXPECT_EQ(status.get(), std::string(StatusText::kMaxChars - 1, 'a'));
}

// The folder is made; a second file of the same name is truncated, not appended to.
TEST_F(RecorderTest, FilesOnDiskAndASecondStartInTheSameSecond) {
  const std::string folder = (dir / "new-folder").string();
  RecordStorage& disk = streamRecordStorage();
  for (int records : {2, 1}) {
    ASSERT_TRUE(openRecordFile(disk, folder, "20240102_030405", file, status));
    for (int i = 0; i < records; ++i)
      ASSERT_TRUE(recordPing(file, record(36, i, 64).data(), shared));
    ASSERT_TRUE(closeRecordFile(disk, file));
    EXPECT_EQ(std::filesystem::file_size(file.path), records * (44u + 64 + 8));
  }
  const std::tm t{
      .tm_sec = 5, .tm_min = 4, .tm_hour = 3, .tm_mday = 2, .tm_mon = 11, .tm_year = 124};
  EXPECT_EQ(FormatTimestamp(t), "20241202_030405");
}

}  // namespace
}  // namespace sk720
