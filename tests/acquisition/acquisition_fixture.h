#pragma once
// Ports, factory and observer for driving the acquisition against the simulated head.
#include <atomic>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "base/clock.h"
#include "link/acquisition.h"
#include "link/head_protocol.h"

namespace sk720::testing {

// Forwards to a loopback end; notes the time of every command frame written (keep-alives).
class ForwardingPort : public SerialPort {
 public:
  ForwardingPort(SerialPort& to, Clock& clock, std::vector<uint32_t>* keepAliveTimes = nullptr,
                 std::atomic<int32_t>* attentions = nullptr)
      : to_(to), clock_(clock), keepAlives_(keepAliveTimes), attentions_(attentions) {}
  int32_t read(uint8_t* dst, int32_t n) override { return to_.read(dst, n); }
  int32_t write(const uint8_t* data, int32_t size) override {
    if (attentions_ && size == 1 && data[0] == '@') ++*attentions_;
    if (keepAlives_ && size > 1 && data[size - 1] == '\r') {
      CommandHeader h;
      std::vector<uint8_t> payload;
      const std::string text(data, data + size - 1);
      if (decodeCommandFrame(text, h, payload) == 0 && h.commandid == kCmdEnterWork)
        keepAlives_->push_back(clock_.nowMs());
    }
    return to_.write(data, size);
  }
  void flush() override { to_.flush(); }
  bool setBaud(int32_t baud) override { return to_.setBaud(baud); }
  uint32_t bitsPerSecond() override { return to_.bitsPerSecond(); }
  void close() override {}

 private:
  SerialPort& to_;
  Clock& clock_;
  std::vector<uint32_t>* keepAlives_;
  std::atomic<int32_t>* attentions_;
};

class LoopbackFactory : public PortFactory {
 public:
  LoopbackFactory(SerialPort* head, SerialPort* gps, Clock& clock)
      : head_(head), gps_(gps), clock_(clock) {}
  std::unique_ptr<SerialPort> openHeadPort(uint32_t, std::string& reason) override {
    ++headOpens;
    reason = "port busy";  // read only when no port comes back
    if (!head_) return nullptr;
    return std::make_unique<ForwardingPort>(*head_, clock_, nullptr, &attentions);
  }
  std::unique_ptr<SerialPort> openGpsPort(uint32_t, int32_t baud, std::string& reason) override {
    ++gpsOpens;
    gpsBaud = baud;
    reason = "gps busy";
    if (!gps_) return nullptr;
    return std::make_unique<ForwardingPort>(*gps_, clock_);
  }
  int32_t headOpens = 0, gpsOpens = 0, gpsBaud = 0;
  std::atomic<int32_t> attentions{0};

 private:
  SerialPort* head_;
  SerialPort* gps_;
  Clock& clock_;
};

// Notes what the windows would be told, as text lines.
class NoteObserver : public AcquisitionObserver {
 public:
  void linkStatus(LinkStatus s) override { note("status", linkStatusText(s)); }
  void dialogText(LinkStatus s) override { note("dialog", linkStatusText(s)); }
  void linkRate(uint32_t port, int32_t baud) override { note("rate", port, baud); }
  void portOpenFailed(const std::string& reason) override { note("error", reason); }
  void storeLinkChoices(uint32_t hp, int32_t hb, uint32_t gp, int32_t gb) override {
    note("store", hp, hb, gp, gb);
  }
  void recordingResumed() override { note("resumed"); }
  void resetView() override { note("reset view"); }
  void stopPlayback() override { note("stop playback"); }
  void disconnected() override { note("disconnected"); }

  std::vector<std::string> take() {
    std::lock_guard<std::mutex> g(lock_);
    return std::move(notes_);
  }

 private:
  template <class... Values>
  void note(const char* what, const Values&... values) {
    std::ostringstream line;
    line << what;
    ((line << ' ' << values), ...);
    std::lock_guard<std::mutex> g(lock_);
    notes_.push_back(line.str());
  }
  std::mutex lock_;
  std::vector<std::string> notes_;
};

}  // namespace sk720::testing
