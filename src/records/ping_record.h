#pragma once
// The ping record: wire and file layout, the record reader, and the decoding rules.
#include <atomic>
#include <cstdint>
#include <vector>

#include "base/byte_source.h"
#include "base/clock.h"

namespace sk720 {

constexpr uint32_t kDataMagic = 0x41544144;  // "DATA"
constexpr uint32_t kEnd1Magic = 0x31444E45;  // "END1"
constexpr uint32_t kEnd0Magic = 0x30444E45;  // "END0"
constexpr uint32_t kNoEchoAngle = 0xFFFFFFFFu;
constexpr int32_t kRecordPrefix = 40;  // bytes read before the length is known
constexpr int32_t kFooterSize = 8;
constexpr int32_t kAnglesPerTurn = 28800;
constexpr uint32_t kStageBudgetMs = 1000;
// The longest record the head sends has a 28-byte header and 20395 bytes; the
// recorder widens it to 20411. The bound is on that widened length, so every
// record the reader accepts from the link reads back from a record file, and at
// most 20359 sample bytes reach the line store either way.
constexpr uint32_t kMaxRecordLength = 20411;
constexpr int32_t kRecordBufferSize = 20412;

// Reader results.
constexpr int32_t kRecordEnd1 = 1;
constexpr int32_t kRecordEnd0 = 0;
constexpr int32_t kBadFooter = -1;
constexpr int32_t kBadMagic = -2;
constexpr int32_t kBadLength = -3;
constexpr int32_t kReadFailed = -5;
constexpr int32_t kTimedOut = -6;
constexpr int32_t kReadStopped = -7;  // the stop request came while a stage waited

// Header fields decoded from a record buffer (fields absent from short headers read as 0).
struct DataHeader {
  uint32_t magic = 0;
  uint32_t headersize = 0;
  uint32_t datasize = 0;
  uint32_t samples = 0;
  uint32_t deviceid = 0;
  uint32_t angle = 0;
  uint32_t commandid = 0;
  int32_t gyroangle = 0;
  int32_t compass = 0;
  float latitude = 0.0f;
  float longitude = 0.0f;
};

struct DataFooter {
  uint32_t timestamp = 0;
  uint32_t magic = 0;
};

// Decodes the header of a record the reader returned (buffer holds at least 40 bytes). The
// optional fields are taken only as far as both headersize and the record length reach.
DataHeader parseDataHeader(const uint8_t* record);
DataFooter parseDataFooter(const uint8_t* record);

// Sample bytes of a record: samples - headersize - 8, or 0 when the header claims more than the
// record holds (such a record carries no echo line).
int32_t recordSampleCount(const DataHeader& h);
// Offset of the first sample byte; header forms other than 28 and 36 count as 44.
int32_t recordSampleOffset(const DataHeader& h);

// The longest record accepted with this header size: 20395 for 28, 20403 for
// 36, 20411 for every other value (the recorder writes each as 20411 with a
// 44-byte header).
uint32_t maxRecordLength(uint32_t headersize);

// The budget of the stage that reads `bytes` of a record body: the usual 1000
// ms plus the time those bytes take on a link of `bitsPerSecond` (8N1, ten bits
// a byte); 1000 ms when the source has no line rate.
uint32_t recordBodyBudgetMs(uint32_t bytes, uint32_t bitsPerSecond);

// What the reader keeps between calls on one stream: the bytes a rejected
// record consumed, which the next hunt for "DATA" searches before it reads on,
// so that a damaged record never takes a good neighbour with it; and the stop
// request its waits watch (may be null).
class RecordReader {
 public:
  explicit RecordReader(const std::atomic<bool>* stopRequest = nullptr) : stop_(stopRequest) {}
  // The stream moved (a seek, another file): what is pending belongs to the old
  // position.
  void discardPending() {
    pending_.clear();
    pendingPos_ = 0;
  }
  size_t pendingBytes() const { return pending_.size() - pendingPos_; }

 private:
  friend int32_t ReadPingRecord(ByteSource& source, uint8_t* buffer, Clock& clock,
                                RecordReader& reader);
  int32_t take(ByteSource& source, uint8_t* dst, int32_t maxBytes);
  bool exhausted(const ByteSource& source) const;
  bool stopped() const { return stop_ && stop_->load(std::memory_order_relaxed); }
  int32_t readStage(ByteSource& source, uint8_t* dst, uint32_t count, uint32_t budgetMs,
                    Clock& clock, uint32_t& got);
  void pushBack(const uint8_t* bytes, size_t count);

  const std::atomic<bool>* stop_;
  std::vector<uint8_t> pending_;
  size_t pendingPos_ = 0;
};

// Reads one record from the source (after what the reader holds pending) into
// buffer.
int32_t ReadPingRecord(ByteSource& source, uint8_t* buffer, Clock& clock, RecordReader& reader);

int32_t RangeFromRecordLength(uint32_t samples);
int32_t LinesPerTurn(uint32_t commandid);
uint16_t ExpandSample(uint8_t code);
const uint16_t* sampleExpansionTable();  // the 256-entry table behind ExpandSample

// The head's sample count for each range row, shared with the parameter blocks.
extern const int32_t kRangeSampleCounts[15];
extern const int32_t kRangeMillimetres[15];

}  // namespace sk720
