// The recorder over an in-memory record storage and over files.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <deque>
#include <filesystem>
#include <numeric>
#include <vector>

#include "base/memory_source.h"
#include "base/timestamp.h"
#include "base/utf16.h"
#include "memory_storage.h"
#include "record_builder.h"
#include "records/ping_record.h"
#include "records/recorder.h"
#include "scratch_test.h"

namespace sk720 {
namespace {

using testing::buildRecord;
using testing::MemoryStorage;
using testing::RecordSpec;

class RecorderTest : public testing::ScratchTest {
 protected:
  static RecordSpec spec(uint32_t headerSize, uint32_t angle, size_t sampleCount) {
    RecordSpec s{.headerSize = headerSize, .angle = angle, .gyro = -120, .compass = 345};
    s.lat = 9.0f, s.lon = 8.0f;
    for (size_t i = 0; i < sampleCount; ++i) s.samples.push_back(uint8_t(i * 7 + angle));
    return s;
  }
  static std::vector<uint8_t> record(uint32_t headerSize, uint32_t angle, size_t sampleCount) {
    return buildRecord(spec(headerSize, angle, sampleCount));
  }
  bool open(const std::string& stamp = "20240102_030405") {
    return openRecordFile(storage, "work", stamp, file, status);
  }
  const std::vector<uint8_t>& bytes() { return storage.files.at(file.path); }

  MemoryStorage storage;
  RecordFile file;
  StatusText status;
  std::atomic<bool> recordEvent{false};
  GpsFix gps;
  ScanInputs inputs;
  RecorderShared shared{recordEvent, gps, inputs, status};
};

TEST_F(RecorderTest, RecordsOnlyWhileTheEventIsSet) {
  ASSERT_TRUE(open());
  EXPECT_NE(file.path.find("rez720_20240102_030405.bin"), std::string::npos);
  EXPECT_EQ(status.get(), file.path + " : Recording paused");
  gps.lat = 0.5f, gps.lon = -1.25f;
  for (uint32_t i = 0; i < 300; ++i) {
    recordEvent = i >= 100 && i < 200;
    ASSERT_TRUE(recordPing(file, record(i % 3 == 0 ? 28 : 36 + 8 * (i % 2), i, 50).data(), shared));
    if (i == 99 || i == 150) {
      EXPECT_EQ(status.get(), file.path + (i == 99 ? " : Record paused" : " : Record in progress"));
    }
  }
  ASSERT_TRUE(closeRecordFile(storage, file));

  // Exactly records 100..199, each read back whole with a 44-byte header and the position.
  const std::vector<DataHeader> headers = testing::readRecords(bytes());
  ASSERT_EQ(headers.size(), 100u);
  for (uint32_t i = 100; i < 200; ++i) {
    const DataHeader& h = headers[i - 100];
    EXPECT_EQ(std::make_tuple(h.angle, h.headersize, h.samples, h.latitude, h.longitude),
              std::make_tuple(i, 44u, 44u + 50 + 8, 0.5f, -1.25f));
  }

  // A file that received nothing is deleted.
  ASSERT_TRUE(open("20240102_030406"));
  const std::string unused = file.path;
  recordEvent = false;
  ASSERT_TRUE(recordPing(file, record(44, 1, 10).data(), shared));
  EXPECT_FALSE(closeRecordFile(storage, file) || storage.files.count(unused));
}

// In the file every record has the 44-byte header: a 28-byte one gains zero gyro and compass,
// a 36-byte one keeps them; the position is always the receiver's.
TEST_F(RecorderTest, HeadersAreWidenedToFortyFourBytes) {
  ASSERT_TRUE(open());
  recordEvent = true;
  gps.lat = 0.61f, gps.lon = 2.25f;
  // header size; gyro, compass and whether the fields were there
  const int32_t forms[][4] = {{28, 0, 0, 0}, {36, -120, 345, 1}, {44, -120, 345, 1}, {28, 0, 0, 0}};
  for (const auto& [form, gyro, compass, fieldsPresent] : forms) {
    SCOPED_TRACE(form);
    inputs.compassValid = 1;
    const size_t before = bytes().size();
    ASSERT_TRUE(recordPing(file, record(form, 1000 + form, 300 - form).data(), shared));
    EXPECT_EQ(inputs.compassFieldsPresent.load() * 10 + inputs.compassValid, fieldsPresent * 11);
    RecordSpec wide = spec(form, 1000 + form, 300 - form);
    wide.headerSize = 44, wide.gyro = gyro, wide.compass = compass;
    wide.lat = 0.61f, wide.lon = 2.25f;
    EXPECT_EQ(std::vector<uint8_t>(bytes().begin() + std::ptrdiff_t(before), bytes().end()),
              buildRecord(wide));
  }
}

TEST_F(RecorderTest, EveryRecordTheReaderTakesReadsBackFromTheFile) {
  ASSERT_TRUE(open());
  recordEvent = true;
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
      if (len > length) {
        EXPECT_EQ(got, kBadLength) << len;
        continue;
      }
      ASSERT_EQ(got, kRecordEnd1) << len;
      ASSERT_TRUE(recordPing(file, buffer.data(), shared));
    }
  }
  const std::vector<DataHeader> headers = testing::readRecords(bytes());
  ASSERT_EQ(headers.size(), 3u);
  for (const DataHeader& h : headers) EXPECT_EQ(h.samples, 20411u);
}

TEST_F(RecorderTest, WritesThatCannotStartAndRecordsTooShortForTheirHeader) {
  ASSERT_TRUE(open());
  recordEvent = true;
  // The header's write fails: the body must not follow it into the file.
  storage.failAppendNumber = 0;
  EXPECT_FALSE(recordPing(file, record(44, 5, 20).data(), shared));
  EXPECT_TRUE(bytes().empty());
  // The body's write fails.
  storage.failAppendNumber = 2;
  EXPECT_FALSE(recordPing(file, record(44, 5, 20).data(), shared));

  // A record whose length does not cover its own header and footer is passed over.
  MemoryStorage clean;
  RecordFile other;
  ASSERT_TRUE(openRecordFile(clean, "", "x", other, status));
  EXPECT_TRUE(recordPing(other, buildRecord({.lengthOverride = 40}).data(), shared));
  EXPECT_TRUE(clean.files.at(other.path).empty());
}

// A medium whose appends land only when the working loop lets finished writes complete, at most
// `landPerCall` bytes each time (0: a stalled medium).
class SlowStorage : public RecordStorage {
 public:
  std::vector<uint8_t> landed;
  std::deque<std::vector<uint8_t>> pending;
  uint64_t landPerCall = 0;
  uint64_t peakPending = 0;

  bool ensureFolder(const std::string&) override { return true; }
  std::unique_ptr<RecordSink> create(const std::string&) override {
    return std::make_unique<Sink>(*this);
  }
  bool remove(const std::string&) override { return true; }
  uint64_t pendingBytes() const {
    return std::accumulate(pending.begin(), pending.end(), uint64_t(0),
                           [](uint64_t n, const auto& p) { return n + p.size(); });
  }

 private:
  class Sink : public RecordSink {
   public:
    explicit Sink(SlowStorage& s) : s_(s) {}
    bool append(const uint8_t* data, uint32_t size) override {
      s_.pending.emplace_back(data, data + size);
      s_.peakPending = std::max(s_.peakPending, s_.pendingBytes());
      return true;
    }
    void completeFinished() override {
      for (uint64_t room = s_.landPerCall;
           !s_.pending.empty() && s_.pending.front().size() <= room;) {
        room -= s_.pending.front().size();
        s_.landed.insert(s_.landed.end(), s_.pending.front().begin(), s_.pending.front().end());
        s_.pending.pop_front();
      }
    }
    uint64_t pendingBytes() const override { return s_.pendingBytes(); }
    int64_t finish() override {
      s_.landPerCall = UINT64_MAX;
      completeFinished();
      return int64_t(s_.landed.size());
    }

   private:
    SlowStorage& s_;
  };
};

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
  SlowStorage slow;
  RecordFile f;
  ASSERT_TRUE(openRecordFile(slow, "", "x", f, status));
  recordEvent = true;
  uint32_t angle = 0;
  std::vector<uint32_t> kept;
  for (const auto& [records, pace, expectSkips] : phases) {
    SCOPED_TRACE(records);
    slow.landPerCall = pace * kRecordBytes;
    const uint64_t skippedBefore = f.recordsSkipped;
    for (uint32_t i = 0; i < records; ++i, ++angle) {
      const uint64_t skipped = f.recordsSkipped;
      ASSERT_TRUE(recordPing(f, record(36, angle, kSamples).data(), shared));
      if (f.recordsSkipped == skipped) kept.push_back(angle);
      f.sink->completeFinished();
      EXPECT_LE(slow.pendingBytes(), kMaxPendingWriteBytes);
    }
    EXPECT_EQ(f.recordsSkipped > skippedBefore, expectSkips != 0);
    const bool saysTooSlow = status.get().find("too slow") != std::string::npos;
    EXPECT_EQ(saysTooSlow, expectSkips != 0) << status.get();
  }
  EXPECT_LE(slow.peakPending, kMaxPendingWriteBytes);
  ASSERT_TRUE(closeRecordFile(slow, f));

  // The file holds exactly the kept records, whole and in order.
  ASSERT_EQ(slow.landed.size(), kept.size() * kRecordBytes);
  EXPECT_EQ(kept.size() + f.recordsSkipped, angle);
  const std::vector<DataHeader> headers = testing::readRecords(slow.landed);
  ASSERT_EQ(headers.size(), kept.size());
  for (size_t i = 0; i < kept.size(); ++i) ASSERT_EQ(headers[i].angle, kept[i]) << i;
}

// The path limit counts characters as Windows does (UTF-16 units), so a working folder in
// Cyrillic or Hangul may be as long as one in Latin letters; the status text is cut to its 255
// units without splitting a character.
TEST_F(RecorderTest, PathLimitAndStatusTextCountUtf16Units) {
  auto repeat = [](const char* character, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += character;
    return s;
  };
  const std::string wave = "\xF0\x9F\x8C\x8A";  // beyond the basic plane: two units
  const std::string stamp = "20240102_030405";
  const size_t room = kMaxRecordPathChars - std::string("/rez720_20240102_030405.bin").size();
  RecordFile f;
  EXPECT_TRUE(openRecordFile(storage, repeat("\u0436", room), stamp, f, status));
  const std::u16string shown = utf8ToUtf16(status.get());
  EXPECT_EQ(shown.size(), StatusText::kMaxChars);
  EXPECT_EQ(utf16ToUtf8(shown), status.get());  // no character cut in two
  EXPECT_EQ(utf8ToUtf16(wave + "\u0436"), u"\U0001F30A\u0436");
  EXPECT_EQ(utf8ToUtf16("\U00010000"), u"\U00010000");              // the first beyond the plane
  EXPECT_EQ(utf8ToUtf16("\x80\x7F\xC2\x80"), u"\uFFFD\x7F\u0080");  // a stray continuation byte
  EXPECT_EQ(utf16ToUtf8(u"\U0001F30A\u0436"), wave + "\u0436");
  EXPECT_EQ(utf16ToUtf8(u"\xDFFF"
                        u"a\xD800"),
            "\uFFFDa\uFFFD");                            // lone halves
  EXPECT_EQ(utf16Length("\u0080\u0800\U00010000"), 4u);  // the shortest of each length
  EXPECT_EQ(utf16Prefix("a\U00010000", 2), "a");
  EXPECT_TRUE(openRecordFile(storage, repeat("\uD55C", room - 2) + wave, stamp, f, status));
  EXPECT_FALSE(openRecordFile(storage, repeat("\uD55C", room - 1) + wave, stamp, f, status));
  EXPECT_FALSE(openRecordFile(storage, repeat("f", room + 1), stamp, f, status));

  // A character that would straddle the limit is left out whole.
  StatusText text;
  text.set(repeat("a", StatusText::kMaxChars - 1) + wave);
  EXPECT_EQ(text.get(), repeat("a", StatusText::kMaxChars - 1));
}

TEST_F(RecorderTest, FilesOnDiskAndASecondStartInTheSameSecond) {
  namespace fs = std::filesystem;
  const fs::path folder = dir / "new-folder";
  RecordStorage& disk = streamRecordStorage();
  recordEvent = true;
  ASSERT_TRUE(
      openRecordFile(disk, folder.string(), "20240102_030405", file, status));  // makes the folder
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(recordPing(file, record(36, i, 64).data(), shared));
  ASSERT_TRUE(closeRecordFile(disk, file));
  EXPECT_EQ(fs::file_size(file.path), 3u * (44 + 64 + 8));

  RecordFile again;
  ASSERT_TRUE(openRecordFile(disk, folder.string(), "20240102_030405", again, status));
  ASSERT_TRUE(recordPing(again, record(36, 9, 64).data(), shared));
  ASSERT_TRUE(closeRecordFile(disk, again));
  EXPECT_EQ(again.path, file.path);
  EXPECT_EQ(fs::file_size(again.path), 44u + 64 + 8);  // truncated, not appended to

  // The name's stamp is the local time now.
  const auto stampAt = [](std::time_t t) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return FormatTimestamp(local);
  };
  const std::time_t before = std::time(nullptr);
  const std::string now = FormatTimestamp();
  EXPECT_TRUE(now == stampAt(before) || now == stampAt(std::time(nullptr))) << now;
  EXPECT_EQ(
      FormatTimestamp(
          {.tm_sec = 5, .tm_min = 4, .tm_hour = 3, .tm_mday = 2, .tm_mon = 11, .tm_year = 124}),
      "20241202_030405");
}

}  // namespace
}  // namespace sk720
