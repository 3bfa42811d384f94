#pragma once
// The ping record: wire and file layout, the record reader, and the decoding rules.
#include <cstdint>

#include "base/byte_source.h"
#include "base/clock.h"

namespace sk720 {

constexpr uint32_t kDataMagic = 0x41544144;  // "DATA"
constexpr uint32_t kEnd1Magic = 0x31444E45;  // "END1"
constexpr uint32_t kEnd0Magic = 0x30444E45;  // "END0"
constexpr uint32_t kNoEchoAngle = 0xFFFFFFFFu;
constexpr int32_t kRecordBufferSize = 20400;
constexpr int32_t kRecordPrefix = 40;        // bytes read before the length is known
constexpr uint32_t kMaxRecordRest = 20356;   // samples - 40 must stay below this
constexpr int32_t kFooterSize = 8;
constexpr int32_t kAnglesPerTurn = 28800;
constexpr uint32_t kStageBudgetMs = 1000;

// Reader results.
constexpr int32_t kRecordEnd1 = 1;
constexpr int32_t kRecordEnd0 = 0;
constexpr int32_t kBadFooter = -1;
constexpr int32_t kBadMagic = -2;
constexpr int32_t kBadLength = -3;
constexpr int32_t kReadFailed = -5;
constexpr int32_t kTimedOut = -6;

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

int32_t ReadPingRecord(ByteSource& source, uint8_t* buffer, Clock& clock);

int32_t RangeFromRecordLength(uint32_t samples);
int32_t LinesPerTurn(uint32_t commandid);
uint16_t ExpandSample(uint8_t code);
const uint16_t* sampleExpansionTable();  // the 256-entry table behind ExpandSample

// The head's sample count for each range row, shared with the parameter blocks.
extern const int32_t kRangeSampleCounts[15];
extern const int32_t kRangeMillimetres[15];

}  // namespace sk720
