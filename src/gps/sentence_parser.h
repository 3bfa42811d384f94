#pragma once
// Frames NMEA sentences out of a byte stream fed in arbitrary pieces, checks their checksums and
// applies the understood ones to a NavInfo. One parser per reader; not shared between threads.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "gps/nav_info.h"
#include "gps/nmea_sentences.h"

namespace sk720 {

// What became of the framed sentences so far.
struct NmeaCounts {
  int64_t applied = 0;
  int64_t badChecksum = 0;
  int64_t foreign = 0;    // good checksum, not one of the understood types
  int64_t failed = 0;     // understood type that failed its field rule
  int64_t broken = 0;     // cut short by a new "$", or not starting with "$"
  int64_t overflows = 0;  // partial sentences dropped because the buffer filled
};

class SentenceParser {
 public:
  static constexpr int32_t kDefaultCapacity = 1024;
  static constexpr int32_t kMinCapacity = 256;

  SentenceParser() = default;
  SentenceParser(const SentenceParser&) = delete;
  SentenceParser& operator=(const SentenceParser&) = delete;
  ~SentenceParser() { Destroy(); }

  // Allocates the buffer (at least kMinCapacity); false, with "Insufficient memory!", when it
  // cannot.
  bool Create(int32_t capacity = kDefaultCapacity);
  // Frames and applies every complete sentence; returns how many were applied. A feed longer
  // than the buffer is taken in pieces that never drop what is held.
  int32_t Feed(const uint8_t* bytes, int32_t count, NavInfo& nav);
  void Destroy();

  int32_t fill() const { return fill_; }
  int32_t capacity() const { return capacity_; }
  const NmeaCounts& counts() const { return counts_; }

  // Told of every applied sentence, with the record just after it was applied.
  std::function<void(const ParsedSentence& sentence, const NavInfo& nav)> onApplied;

 private:
  int32_t feedPiece(const uint8_t* bytes, int32_t count, NavInfo& nav);
  void frame();
  // False when the sentence could not be queued, which ends framing for this feed.
  bool takeSentence(int32_t begin, int32_t star);

  std::unique_ptr<uint8_t[]> buffer_;
  int32_t capacity_ = 0;
  int32_t fill_ = 0;
  std::vector<ParsedSentence> queue_;
  NmeaCounts counts_;
};

}  // namespace sk720
