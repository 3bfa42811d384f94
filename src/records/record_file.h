#pragma once
// A record file opened for synchronous reading, with 64-bit seeks.
#include <cstdint>
#include <fstream>
#include <string>

#include "base/byte_source.h"

namespace sk720 {

class RecordFileSource : public ByteSource {
 public:
  // reportEnd: tools set it so the reader stops at the end of the file at once; playback leaves
  // it off and meets the end through the reader's one-second hunt time-out.
  explicit RecordFileSource(bool reportEnd = true) : reportEnd_(reportEnd) {}
  bool open(const std::string& path);
  bool isOpen() const { return file_.is_open(); }
  void close();
  int32_t read(uint8_t* dst, int32_t maxBytes) override;
  bool atEnd() const override { return reportEnd_ && eof_; }
  bool seek(uint64_t offset);
  uint64_t position();
  uint64_t size() const { return size_; }
  const std::string& path() const { return path_; }

 private:
  std::ifstream file_;
  std::string path_;
  uint64_t size_ = 0;
  bool reportEnd_;
  bool eof_ = false;
};

}  // namespace sk720
