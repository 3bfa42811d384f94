#include "records/record_file.h"

#include "base/utf16.h"

namespace sk720 {

bool RecordFileSource::open(const std::string& path) {
  close();
  // Through a path object: on Windows that opens by the UTF-16 name, so any folder name works.
  file_.open(pathFromUtf8(path), std::ios::binary | std::ios::in);
  if (!file_.is_open()) return false;
  file_.seekg(0, std::ios::end);
  const std::streamoff end = file_.tellg();
  file_.seekg(0, std::ios::beg);
  if (end < 0 || !file_) {
    close();
    return false;
  }
  size_ = uint64_t(end);
  path_ = path;
  eof_ = false;
  return true;
}

void RecordFileSource::close() {
  if (file_.is_open()) file_.close();
  file_.clear();
  size_ = 0;
  eof_ = false;
}

int32_t RecordFileSource::read(uint8_t* dst, int32_t maxBytes) {
  if (!file_.is_open()) return -5;
  if (maxBytes <= 0) return 0;
  const std::streamsize n = file_.rdbuf()->sgetn(reinterpret_cast<char*>(dst), maxBytes);
  if (n < 0) return -5;
  if (n == 0) eof_ = true;
  return int32_t(n);
}

bool RecordFileSource::seek(uint64_t offset) {
  if (!file_.is_open()) return false;
  if (offset > size_) offset = size_;
  const auto pos = file_.rdbuf()->pubseekpos(std::streampos(std::streamoff(offset)), std::ios::in);
  eof_ = false;
  return pos != std::streampos(std::streamoff(-1));
}

uint64_t RecordFileSource::position() {
  if (!file_.is_open()) return 0;
  const auto pos = file_.rdbuf()->pubseekoff(0, std::ios::cur, std::ios::in);
  return pos < 0 ? 0 : uint64_t(std::streamoff(pos));
}

}  // namespace sk720
