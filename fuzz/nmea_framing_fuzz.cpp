// libFuzzer harness for NMEA framing and field scanning. The first input byte picks how the rest
// is cut into feeds and whether "*hh" checksums are repaired first, so that the field rules are
// reached as often as the framing. Built and run by scripts/fuzz.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gps/nav_info.h"
#include "gps/nmea_callbacks.h"
#include "gps/sentence_parser.h"

namespace {

void repairChecksums(std::vector<uint8_t>& b) {
  size_t start = 0;
  bool inSentence = false;
  for (size_t i = 0; i < b.size(); ++i) {
    if (b[i] == '$') {
      start = i;
      inSentence = true;
    } else if (b[i] == '*' && inSentence && i + 2 < b.size()) {
      uint8_t sum = 0;
      for (size_t k = start + 1; k < i; ++k) sum ^= b[k];
      static const char hex[] = "0123456789ABCDEF";
      b[i + 1] = uint8_t(hex[sum >> 4]);
      b[i + 2] = uint8_t(hex[sum & 15]);
      inSentence = false;
    }
  }
}

void ignoreError(const char*) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t mode = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);
  if (mode & 0x80) repairChecksums(bytes);
  // Formats every message, to run the formatting path too.
  sk720::setNmeaCallbacks(nullptr, ignoreError);

  sk720::SentenceParser parser;
  if (!parser.Create(sk720::SentenceParser::kMinCapacity + (mode & 0x40 ? 0 : 768))) return 0;
  sk720::NavInfo nav;
  nav.Reset(std::chrono::system_clock::time_point{});
  const size_t piece = (mode & 0x3F) + 1;  // 1..64, or the whole input when 64
  for (size_t at = 0; at < bytes.size();) {
    const size_t n = piece == 64 ? bytes.size() - at : std::min(piece, bytes.size() - at);
    const sk720::NavInfo before = nav;
    const int32_t applied = parser.Feed(bytes.data() + at, int32_t(n), nav);
    // Nothing that was not applied may touch the record, and the buffer never overruns.
    if ((applied == 0 && !(nav == before)) || applied < 0 || parser.fill() < 0 ||
        parser.fill() > parser.capacity()) {
      std::fprintf(stderr, "invariant broken: applied %d fill %d\n", applied, parser.fill());
      std::abort();
    }
    at += n;
  }
  return 0;
}
