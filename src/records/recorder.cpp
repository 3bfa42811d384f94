#include "records/recorder.h"

#include <cstring>

#include "base/byte_order.h"
#include "base/utf16.h"
#include "records/ping_record.h"

namespace sk720 {
namespace {

#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

enum ShownState { kShownPaused = 0, kShownInProgress = 1, kShownMediumTooSlow = 2 };

const char* stateText(int32_t state) {
  switch (state) {
    case kShownInProgress:
      return " : Record in progress";
    case kShownMediumTooSlow:
      return " : Recording medium too slow, records lost";
    default:
      return " : Record paused";
  }
}

void showState(RecordFile& file, StatusText& text, int32_t state) {
  if (file.shownState == state) return;
  file.shownState = state;
  text.set(file.path + stateText(state));
}

}  // namespace

bool openRecordFile(RecordStorage& storage, const std::string& folder, const std::string& timestamp,
                    RecordFile& file, StatusText& statusText) {
  file = RecordFile{};
  const std::string name = "rez720_" + timestamp + ".bin";
  // A failure to create the folder shows up when the file cannot be created.
  if (!folder.empty()) storage.ensureFolder(folder);
  std::string path = folder;
  if (!path.empty() && path.back() != kPathSeparator && path.back() != '/') path += kPathSeparator;
  path += name;
  if (utf16Length(path) > kMaxRecordPathChars) return false;  // counted as Windows counts
  file.path = path;
  statusText.set(path + " : Recording paused");
  file.sink = storage.create(path);
  return file.sink != nullptr;
}

int32_t widenRecordHeader(const uint8_t* record, float latitude, float longitude,
                          uint8_t header[kRecordHeaderSize]) {
  const uint32_t received = loadU32(record + 4);
  const uint32_t samples = loadU32(record + 12);
  // Every form other than 28 and 36 is the 44-byte one.
  const uint32_t form = (received == 28 || received == 36) ? received : 44;
  if (samples < form + uint32_t(kFooterSize)) return -1;
  std::memcpy(header, record,
              28);  // magic, headersize, datasize, samples, deviceid, angle, commandid
  storeU32(header + 4, kRecordHeaderSize);
  storeU32(header + 12, samples + (kRecordHeaderSize - form));
  if (form >= 36) {
    std::memcpy(header + 28, record + 28, 8);  // gyroangle, compass
  } else {
    std::memset(header + 28, 0, 8);
  }
  storeF32(header + 36, latitude);
  storeF32(header + 40, longitude);
  return int32_t(form);
}

bool recordPing(RecordFile& file, const uint8_t* record, RecorderShared& shared) {
  const uint32_t received = loadU32(record + 4);
  if (received == 28) {
    shared.inputs.compassFieldsPresent.store(0, std::memory_order_relaxed);
    shared.inputs.compassValid.store(0, std::memory_order_relaxed);
  } else {
    shared.inputs.compassFieldsPresent.store(1, std::memory_order_relaxed);
  }
  if (!shared.recordEvent.load(std::memory_order_relaxed)) {
    showState(file, shared.statusText, kShownPaused);
    return true;
  }
  uint8_t header[kRecordHeaderSize];
  const int32_t bodyOffset =
      widenRecordHeader(record, shared.gps.lat.load(std::memory_order_relaxed),
                        shared.gps.lon.load(std::memory_order_relaxed), header);
  if (bodyOffset < 0) {  // a record shorter than its own header: nothing sound to write
    showState(file, shared.statusText, kShownInProgress);
    return true;
  }
  const uint32_t bodySize = loadU32(record + 12) - uint32_t(bodyOffset);
  const uint64_t size = uint64_t(kRecordHeaderSize) + bodySize;
  if (file.sink->pendingBytes() + size > kMaxPendingWriteBytes) {
    file.sink->completeFinished();  // writes that have landed since the last record free room
    if (file.sink->pendingBytes() + size > kMaxPendingWriteBytes) {
      ++file.recordsSkipped;
      showState(file, shared.statusText, kShownMediumTooSlow);
      return true;
    }
  }
  showState(file, shared.statusText, kShownInProgress);
  // A body without its header would make the rest of the file unreadable, so a header that
  // cannot be written stops the record (and the recording) here.
  if (!file.sink->append(header, kRecordHeaderSize)) return false;
  if (!file.sink->append(record + bodyOffset, bodySize)) return false;
  file.bytesWritten += kRecordHeaderSize + bodySize;
  ++file.recordsWritten;
  return true;
}

bool closeRecordFile(RecordStorage& storage, RecordFile& file) {
  if (!file.sink) return false;
  // The size is read only after every started append has landed: a file whose writes are still
  // pending is not empty.
  const int64_t size = file.sink->finish();
  file.sink.reset();
  if (size == 0) {
    storage.remove(file.path);
    return false;
  }
  return true;
}

}  // namespace sk720
