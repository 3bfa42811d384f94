#pragma once
// Builds ping records byte by byte for tests, and reads record files back.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/memory_source.h"
#include "records/ping_record.h"

namespace sk720::testing {

struct RecordSpec {
  uint32_t headerSize = 44;
  uint32_t angle = 0;
  uint32_t commandId = 0x20180284;
  uint32_t deviceId = 7;
  int32_t gyro = 0, compass = 0;
  float lat = 0.0f, lon = 0.0f;
  std::vector<uint8_t> samples;
  uint32_t footer = kEnd1Magic;
  int64_t lengthOverride = -1;  // a `samples` field that lies
};

inline std::vector<uint8_t> buildRecord(const RecordSpec& s) {
  const uint32_t total = uint32_t(s.headerSize + s.samples.size() + 8);
  std::vector<uint8_t> r(std::max<size_t>(total, 40), 0);
  storeU32(&r[0], kDataMagic);
  storeU32(&r[4], s.headerSize);
  storeU32(&r[8], uint32_t(s.samples.size()));
  storeU32(&r[12], s.lengthOverride >= 0 ? uint32_t(s.lengthOverride) : total);
  storeU32(&r[16], s.deviceId);
  storeU32(&r[20], s.angle);
  storeU32(&r[24], s.commandId);
  if (s.headerSize >= 36) {
    storeI32(&r[28], s.gyro);
    storeI32(&r[32], s.compass);
  }
  if (s.headerSize >= 44) {
    storeF32(&r[36], s.lat);
    storeF32(&r[40], s.lon);
  }
  for (size_t i = 0; i < s.samples.size(); ++i) r[s.headerSize + i] = s.samples[i];
  storeU32(&r[total - 8], 1234);
  storeU32(&r[total - 4], s.footer);
  return r;
}

inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& from) {
  to.insert(to.end(), from.begin(), from.end());
}

inline std::vector<uint8_t> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The headers of the records in a file's bytes, each of which must be whole.
inline std::vector<DataHeader> readRecords(const std::vector<uint8_t>& bytes) {
  MemorySource source(bytes);
  ManualClock clock;
  std::vector<uint8_t> buffer(kRecordBufferSize);
  RecordReader reader;
  std::vector<DataHeader> headers;
  while (!source.atEnd()) {
    const int32_t r = ReadPingRecord(source, buffer.data(), clock, reader);
    EXPECT_GE(r, 0) << "after " << headers.size() << " records";
    if (r < 0) break;
    headers.push_back(parseDataHeader(buffer.data()));
  }
  return headers;
}

}  // namespace sk720::testing
