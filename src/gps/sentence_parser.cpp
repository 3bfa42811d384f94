#include "gps/sentence_parser.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

#include "gps/nmea_callbacks.h"

namespace sk720 {
namespace {

int hexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool SentenceParser::Create(int32_t capacity) {
  Destroy();
  capacity = std::max(capacity, kMinCapacity);
  buffer_.reset(new (std::nothrow) uint8_t[size_t(capacity)]);
  if (!buffer_) {
    nmeaError("Insufficient memory!");
    return false;
  }
  capacity_ = capacity;
  fill_ = 0;
  return true;
}

void SentenceParser::Destroy() {
  buffer_.reset();
  capacity_ = 0;
  fill_ = 0;
  queue_.clear();
  queue_.shrink_to_fit();
}

int32_t SentenceParser::Feed(const uint8_t* bytes, int32_t count, NavInfo& nav) {
  if (!buffer_ || !bytes || count <= 0) return 0;
  int32_t applied = 0;
  while (count > 0) {
    int32_t piece = std::min(count, capacity_);
    // Fill the buffer no further than one short of full, so the overflow rule below only fires
    // for a partial sentence that alone nearly fills it.
    if (count > capacity_ && fill_ < capacity_ - 1) piece = capacity_ - 1 - fill_;
    applied += feedPiece(bytes, piece, nav);
    bytes += piece;
    count -= piece;
  }
  return applied;
}

int32_t SentenceParser::feedPiece(const uint8_t* bytes, int32_t count, NavInfo& nav) {
  if (fill_ + count >= capacity_) {
    if (fill_ > 0) ++counts_.overflows;
    fill_ = 0;
  }
  std::memcpy(buffer_.get() + fill_, bytes, size_t(count));
  fill_ += count;
  frame();

  int32_t applied = 0;
  for (const ParsedSentence& s : queue_) {
    applySentence(s, nav);
    ++applied;
    ++counts_.applied;
    if (onApplied) onApplied(s, nav);
  }
  queue_.clear();
  return applied;
}

void SentenceParser::frame() {
  const uint8_t* b = buffer_.get();
  int32_t p = 0;
  bool more = true;
  while (more && p < fill_) {
    int32_t i = p;
    for (; i < fill_; ++i) {
      if (b[i] == '$' && i > p) break;
      if (b[i] == '*') break;
    }
    if (i >= fill_) break;  // neither end nor a new start yet: wait for more bytes
    if (b[i] == '$') {
      ++counts_.broken;
      p = i;
      continue;
    }
    // "*", two checksum digits, CR, LF; anything less stays for the next feed.
    if (fill_ - i < 5 || b[i + 3] != '\r' || b[i + 4] != '\n') break;
    more = takeSentence(p, i);
    p = i + 5;
  }
  if (p > 0) {
    std::memmove(buffer_.get(), b + p, size_t(fill_ - p));
    fill_ -= p;
  }
}

bool SentenceParser::takeSentence(int32_t begin, int32_t star) {
  const uint8_t* b = buffer_.get();
  if (b[begin] != '$') {
    ++counts_.broken;
    return true;
  }
  uint8_t sum = 0;
  for (int32_t k = begin + 1; k < star; ++k) sum ^= b[k];
  const int hi = hexValue(b[star + 1]);
  const int lo = hexValue(b[star + 2]);
  if (hi < 0 || lo < 0 || sum != uint8_t(hi * 16 + lo)) {
    ++counts_.badChecksum;
    return true;
  }
  const char* text = reinterpret_cast<const char*>(b + begin);
  nmeaTrace(std::string_view(text, size_t(star + 3 - begin)));
  const std::string_view body(text, size_t(star + 1 - begin));  // "$" through "*"
  const int32_t type = star - begin - 1 >= 5 ? sentenceTypeOf(body) : 0;
  if (type == 0) {
    ++counts_.foreign;
    return true;
  }
  ParsedSentence parsed;
  if (!parseSentence(type, body, parsed)) {
    ++counts_.failed;
    return true;
  }
  parsed.talker[0] = body[1];
  parsed.talker[1] = body[2];
  try {
    queue_.push_back(parsed);
  } catch (const std::bad_alloc&) {
    nmeaError("Insufficient memory!");
    return false;
  }
  return true;
}

}  // namespace sk720
