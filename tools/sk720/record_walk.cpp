#include "sk720/record_walk.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "records/ping_record.h"
#include "records/record_file.h"

namespace sk720::cli {

bool walkRecordFile(const std::string& path,
                    const std::function<bool(int32_t, const uint8_t*, uint64_t)>& visit,
                    std::string* error) {
  RecordFileSource file(true);
  if (!file.open(path)) {
    if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<uint8_t> buf(kRecordBufferSize);
  for (;;) {
    const int32_t r = ReadPingRecord(file, buf.data(), systemClock());
    if (r == kTimedOut && file.atEnd()) break;  // the end of the file
    if (!visit(r, buf.data(), file.position())) break;
    if (r == kReadFailed) break;
  }
  return true;
}

}  // namespace sk720::cli
