// libFuzzer harness for the record reader. The first input byte picks how the rest arrives: in
// pieces of 1..64 bytes per read (1 = byte by byte), and either as a file (its end reported) or
// as a live stream (never ends; an empty read lets 100 ms pass). Whatever the pieces, the reader
// must accept exactly the records it accepts from the whole input in one read, and every accepted
// record must decode within its own length. Built and run by scripts/fuzz.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/byte_order.h"
#include "base/clock.h"
#include "records/ping_record.h"

namespace {

class PieceSource : public sk720::ByteSource {
 public:
  PieceSource(const uint8_t* data, size_t size, size_t piece, bool stream, sk720::ManualClock& c)
      : data_(data), size_(size), piece_(piece), stream_(stream), clock_(c) {}
  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    size_t n = size_ - pos_;
    if (n > piece_) n = piece_;
    if (n > size_t(maxBytes)) n = size_t(maxBytes);
    if (n == 0) {
      clock_.advance(100);  // a live port waits for its first byte
      return 0;
    }
    std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    return int32_t(n);
  }
  bool atEnd() const override { return !stream_ && pos_ >= size_; }
  bool drained() const { return pos_ >= size_; }

 private:
  const uint8_t* data_;
  size_t size_, piece_, pos_ = 0;
  bool stream_;
  sk720::ManualClock& clock_;
};

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// Every record the reader accepts, as (result, bytes), in order.
std::vector<std::vector<uint8_t>> readAll(const uint8_t* data, size_t size, size_t piece,
                                          bool stream) {
  sk720::ManualClock clock;
  PieceSource source(data, size, piece, stream, clock);
  sk720::RecordReader reader;
  static uint8_t buffer[sk720::kRecordBufferSize];
  std::vector<std::vector<uint8_t>> records;
  for (size_t calls = 0;; ++calls) {
    if (calls > size + 2) fail("the reader makes no progress");
    const int32_t r = sk720::ReadPingRecord(source, buffer, clock, reader);
    if (r == sk720::kRecordEnd1 || r == sk720::kRecordEnd0) {
      const uint32_t length = sk720::loadU32(buffer + 12);
      if (length < uint32_t(sk720::kRecordPrefix) || length > sk720::kMaxRecordLength)
        fail("accepted length outside its bounds");
      const sk720::DataHeader h = sk720::parseDataHeader(buffer);
      const sk720::DataFooter f = sk720::parseDataFooter(buffer);
      const int32_t count = sk720::recordSampleCount(h);
      if (h.magic != sk720::kDataMagic || f.magic != (r ? sk720::kEnd1Magic : sk720::kEnd0Magic))
        fail("accepted record with the wrong magic");
      if (count < 0 ||
          (count > 0 &&
           uint32_t(sk720::recordSampleOffset(h) + count) + sk720::kFooterSize > length))
        fail("samples reach past the record");
      std::vector<uint8_t> rec(buffer, buffer + length);
      rec.push_back(uint8_t(r));
      records.push_back(std::move(rec));
      continue;
    }
    if (r == sk720::kReadFailed || r == sk720::kReadStopped) fail("unexpected reader result");
    if (r == sk720::kTimedOut && source.drained() && reader.pendingBytes() == 0) break;
  }
  return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  const size_t piece = (mode & 0x3F) + 1;
  const bool stream = (mode & 0x40) != 0;
  const auto whole = readAll(data + 1, size - 1, size, false);
  const auto pieces = readAll(data + 1, size - 1, piece, stream);
  if (whole != pieces) fail("the pieces change which records are accepted");
  return 0;
}
