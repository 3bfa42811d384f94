#pragma once
// Ports, factory and observer for driving the acquisition against the simulated head, and a record
// storage in memory.
#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "link/acquisition.h"
#include "records/record_sink.h"

namespace sk720::testing {

// Forwards to a loopback end (which outlives the port the acquisition owns); counts the
// attentions ('@') written.
class ForwardingPort : public SerialPort {
 public:
  explicit ForwardingPort(SerialPort& to, std::atomic<int32_t>* attentions = nullptr)
      : to_(to), attentions_(attentions) {}
  int32_t read(uint8_t* dst, int32_t n) override { return to_.read(dst, n); }
  int32_t write(const uint8_t* data, int32_t size) override {
    if (attentions_ && size == 1 && data[0] == '@') ++*attentions_;
    return to_.write(data, size);
  }
  void flush() override { to_.flush(); }
  bool setBaud(int32_t baud) override { return to_.setBaud(baud); }
  uint32_t bitsPerSecond() override { return to_.bitsPerSecond(); }
  void close() override {}

 private:
  SerialPort& to_;
  std::atomic<int32_t>* attentions_;
};

class LoopbackFactory : public PortFactory {
 public:
  LoopbackFactory(SerialPort* head, SerialPort* gps) : head_(head), gps_(gps) {}
  std::unique_ptr<SerialPort> openHeadPort(uint32_t, std::string& reason) override {
    reason = "port busy";  // read only when no port comes back
    return head_ ? std::make_unique<ForwardingPort>(*head_, &attentions) : nullptr;
  }
  std::unique_ptr<SerialPort> openGpsPort(uint32_t, int32_t baud, std::string& reason) override {
    gpsBaud = baud;
    reason = "gps busy";
    return gps_ ? std::make_unique<ForwardingPort>(*gps_) : nullptr;
  }
  int32_t gpsBaud = 0;
  std::atomic<int32_t> attentions{0};

 private:
  SerialPort* head_;
  SerialPort* gps_;
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
  void connected() override {
    if (cancelBeforeLoading) cancel = true;
  }

  std::atomic<bool> cancel{false};   // the connect dialog's Cancel
  bool cancelBeforeLoading = false;  // cancels from inside the sequence, as the loading begins

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

// Files are byte vectors; an append can be made to fail. With `landPerCall` set the medium is slow:
// appends land only when the working loop lets finished writes complete, at most that many bytes
// each time (0: a stalled medium).
class MemoryStorage : public RecordStorage {
 public:
  std::map<std::string, std::vector<uint8_t>> files;
  int32_t failAppendNumber = -1;  // the n-th append (0-based, over all files) fails to start
  int32_t appends = 0;
  std::optional<uint64_t> landPerCall;
  std::deque<std::vector<uint8_t>> pending;
  uint64_t peakPending = 0;

  bool ensureFolder(const std::string&) override { return true; }
  std::unique_ptr<RecordSink> create(const std::string& path) override {
    files[path].clear();
    return std::make_unique<Sink>(*this, path);
  }
  bool remove(const std::string& path) override { return files.erase(path) == 1; }

 private:
  class Sink : public RecordSink {
   public:
    Sink(MemoryStorage& s, std::string path) : s_(s), path_(std::move(path)) {}
    bool append(const uint8_t* data, uint32_t size) override {
      if (s_.appends++ == s_.failAppendNumber) return false;
      s_.pending.emplace_back(data, data + size);
      s_.peakPending = std::max(s_.peakPending, pendingBytes());
      if (!s_.landPerCall) land(UINT64_MAX);
      return true;
    }
    void completeFinished() override { land(s_.landPerCall.value_or(UINT64_MAX)); }
    uint64_t pendingBytes() const override {
      uint64_t n = 0;
      for (const auto& p : s_.pending) n += p.size();
      return n;
    }
    int64_t finish() override {
      land(UINT64_MAX);
      return int64_t(s_.files[path_].size());
    }

   private:
    void land(uint64_t room) {
      auto& f = s_.files[path_];
      for (; !s_.pending.empty() && s_.pending.front().size() <= room; s_.pending.pop_front()) {
        room -= s_.pending.front().size();
        f.insert(f.end(), s_.pending.front().begin(), s_.pending.front().end());
      }
    }
    MemoryStorage& s_;
    std::string path_;
  };
};
}  // namespace sk720::testing
