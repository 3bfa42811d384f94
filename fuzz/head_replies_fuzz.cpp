// libFuzzer harness for the head's replies during the connect sequence: the rate switch, then the
// loading sequence (work to command mode, both parameter blocks, back to work mode), reading
// whatever the input says the head answered. The first byte picks the read pieces and the port's
// behaviour; the sequence must end within its time limits with one of its documented results,
// and everything it sends must be a known text or a well-formed command frame. Built and run by
// scripts/fuzz.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/clock.h"
#include "link/head_protocol.h"
#include "link/serial_port.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

class ScriptedPort : public sk720::SerialPort {
 public:
  ScriptedPort(const uint8_t* data, size_t size, uint8_t mode, sk720::ManualClock& clock)
      : data_(data), size_(size), piece_((mode & 7) + 1), mode_(mode), clock_(clock) {}
  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    size_t n = size_ - pos_;
    if (n > piece_) n = piece_;
    if (n > size_t(maxBytes)) n = size_t(maxBytes);
    if (n == 0) {
      if (mode_ & 0x08) return -5;  // the cable is pulled once the script ends
      clock_.advance(100);
      return 0;
    }
    std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    if (mode_ & 0x10) clock_.advance(1);  // a slow line: time passes while bytes come
    return int32_t(n);
  }
  int32_t write(const uint8_t* data, int32_t size) override {
    if (size < 0) fail("negative write");
    sent.append(reinterpret_cast<const char*>(data), size_t(size));
    return (mode_ & 0x20) && ++writes_ > 3 ? -5 : size;
  }
  void flush() override {}
  bool setBaud(int32_t) override { return !(mode_ & 0x40); }
  void close() override {}

  std::string sent;

 private:
  const uint8_t* data_;
  size_t size_, piece_, pos_ = 0;
  uint8_t mode_;
  int writes_ = 0;
  sk720::ManualClock& clock_;
};

bool knownResult(int32_t r) {
  return r == sk720::kLinkDone || r == sk720::kLinkRefused || r == sk720::kLinkNoReply ||
         r == sk720::kLinkPortFailed || r == sk720::kLinkTimedOut;
}

// Every CR-ended piece the host sent is a fixed text or a frame that decodes.
void checkSent(const std::string& sent) {
  size_t at = 0;
  while (at < sent.size()) {
    size_t end = sent.find('\r', at);
    if (end == std::string::npos) {
      if (sent.substr(at) != "@") fail("unterminated text sent");
      return;
    }
    std::string piece = sent.substr(at, end - at);
    while (!piece.empty() && piece.front() == '@') piece.erase(0, 1);
    const bool text = piece.find_first_not_of(' ') == std::string::npos ||
                      (piece.front() == ' ' && piece.find('<') != std::string::npos);
    sk720::CommandHeader h;
    std::vector<uint8_t> payload;
    if (!text && sk720::decodeCommandFrame(piece, h, payload) != 0) fail("malformed frame sent");
    at = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  sk720::resetHeadWaitWindows();
  sk720::ManualClock clock;
  ScriptedPort port(data + 1, size - 1, data[0], clock);
  uint8_t block0[64] = {1}, block1[16] = {2};

  int32_t r = sk720::switchBaud(port, 921600, clock);
  if (!knownResult(r)) fail("unknown rate switch result");
  // Each wait gives up after five times its silence limit; the rate switch holds four of them,
  // the loading sequence at most eight more of at most five seconds each.
  if (clock.nowMs() > 4 * 10000 * sk720::kWaitOverallFactor + 1000) fail("rate switch too long");
  if (r == sk720::kLinkDone) {
    const uint32_t before = clock.nowMs();
    r = sk720::loadHeadParameters(port, block0, block1, {}, clock);
    if (r != sk720::kLinkDone && (r >= 0 || !knownResult(r))) fail("unknown loading result");
    if (clock.nowMs() - before > 12 * 5000 * sk720::kWaitOverallFactor + 5000)
      fail("loading sequence too long");
  }
  checkSent(port.sent);
  return 0;
}
