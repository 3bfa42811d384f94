#pragma once
// Reads every record of a file with the program's reader, at disk speed.
#include <cstdint>
#include <functional>
#include <string>

namespace sk720::cli {

// Calls visit(result, record buffer, file offset after the record) for every reader result until
// the end of the file or a read failure; visit returns false to stop early. False when the file
// cannot be read as a record file (error: the reason, without the path).
bool walkRecordFile(const std::string& path,
                    const std::function<bool(int32_t, const uint8_t*, uint64_t)>& visit,
                    std::string* error);

}  // namespace sk720::cli
