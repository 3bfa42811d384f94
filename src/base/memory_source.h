#pragma once
// A byte source over bytes in memory; reports its end like a file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/byte_source.h"

namespace sk720 {

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  explicit MemorySource(const std::vector<uint8_t>& v) : MemorySource(v.data(), v.size()) {}
  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    const size_t n = std::min(size_ - pos_, size_t(maxBytes > 0 ? maxBytes : 0));
    if (n) std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    return int32_t(n);
  }
  bool atEnd() const override { return pos_ >= size_; }
  size_t position() const { return pos_; }
  void rewind() { pos_ = 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace sk720
