#pragma once
// The recorder: one record file per working loop, every kept record appended with its header
// widened to 44 bytes and the current GPS position in it, while the record event is set.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/status_text.h"
#include "gps/gps_fix.h"
#include "records/record_sink.h"
#include "scan/scan_image.h"

namespace sk720 {

constexpr int32_t kRecordHeaderSize = 44;
constexpr size_t kMaxRecordPathChars = 259;  // UTF-16 units
// Write blocks a slow medium may hold in memory: at the fastest link rate some 40 s of records, so
// a medium that stalls now and then loses nothing, and one that cannot keep up costs a bounded
// amount of memory.
constexpr uint64_t kMaxPendingWriteBytes = 4u << 20;

struct RecordFile {
  std::unique_ptr<RecordSink> sink;
  std::string path;
  uint64_t bytesWritten = 0;  // bytes whose appends were started
  uint64_t recordsWritten = 0;
  uint64_t recordsSkipped = 0;  // records left out because the medium had too many pending
  int32_t shownState = -1;      // which status text is up, so that it is set only on a change
};

// What the recorder reads and publishes of the program's shared state.
struct RecorderShared {
  const std::atomic<bool>& recordEvent;
  const GpsFix& gps;
  ScanInputs& inputs;
  StatusText& statusText;
};

// "rez720_<timestamp>.bin" in the folder (a file of the same name is truncated). False when the
// path is too long or the file cannot be created.
bool openRecordFile(RecordStorage& storage, const std::string& folder, const std::string& timestamp,
                    RecordFile& file, StatusText& statusText);

// The 44-byte header for a received record; returns the offset in the record where the bytes
// that follow the header start, or -1 when the record is too short for its own header and footer
// (it is then not written).
int32_t widenRecordHeader(const uint8_t* record, float latitude, float longitude,
                          uint8_t header[kRecordHeaderSize]);

// Called for every record the working loop keeps. False when a write could not be started. A
// record that would take the sink's pending bytes past kMaxPendingWriteBytes is left out, and the
// status line says the medium cannot keep up until a record is written again.
bool recordPing(RecordFile& file, const uint8_t* record, RecorderShared& shared);

// Waits for the started writes, closes the file and deletes it when it received nothing.
// Returns true when the file was kept.
bool closeRecordFile(RecordStorage& storage, RecordFile& file);

}  // namespace sk720
