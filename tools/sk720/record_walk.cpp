#include "sk720/record_walk.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "records/ping_record.h"
#include "records/record_file.h"
#include "sk720/path_checks.h"

namespace sk720::cli {

bool walkRecordFile(const std::string& path,
                    const std::function<bool(int32_t, const uint8_t*, uint64_t)>& visit,
                    std::string* error) {
  std::string why = unreadableReason(path, InputKind::RegularFile);
  RecordFileSource file(true);
  if (why.empty() && !file.open(path)) why = errno != 0 ? std::strerror(errno) : "cannot be opened";
  if (!why.empty()) {
    if (error) *error = why;
    return false;
  }
  std::vector<uint8_t> buf(kRecordBufferSize);
  RecordReader reader;
  for (;;) {
    const int32_t r = ReadPingRecord(file, buf.data(), systemClock(), reader);
    // The end of the file; a record cut off by it is searched for the records
    // it swallowed first.
    if (r == kTimedOut && file.atEnd() && reader.pendingBytes() == 0) break;
    if (!visit(r, buf.data(), file.position())) break;
    if (r == kReadFailed) break;
  }
  return true;
}

}  // namespace sk720::cli
