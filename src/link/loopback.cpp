#include "link/loopback.h"

#include <algorithm>
#include <chrono>

namespace sk720 {

struct LoopbackPair::Shared {
  explicit Shared(Clock& c) : clock(c) {}
  Clock& clock;
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<uint8_t> toHost, toDevice;
  int32_t baud[2] = {115200, 115200};
  bool broken = false;
  uint64_t hostWritten = 0;
  std::function<void()> pump;
};

class LoopbackPair::End : public SerialPort {
 public:
  End(std::shared_ptr<Shared> s, bool isHost) : s_(std::move(s)), isHost_(isHost) {}

  int32_t read(uint8_t* dst, int32_t maxBytes) override { return readWithin(dst, maxBytes, 100); }

  int32_t readWithin(uint8_t* dst, int32_t maxBytes, uint32_t waitMs) override {
    std::function<void()> pump;
    {
      std::unique_lock<std::mutex> lock(s_->mutex);
      if (s_->broken) return -5;
      if (int32_t n = take(dst, maxBytes); n > 0) return n;
      if (!s_->pump) {
        s_->arrived.wait_for(lock, std::chrono::milliseconds(waitMs > 100 ? 100 : waitMs),
                             [this] { return s_->broken || !inbox().empty(); });
        if (s_->broken) return -5;
        return take(dst, maxBytes);
      }
      if (!isHost_) return 0;
      pump = s_->pump;
    }
    for (int i = 0; i <= 10; ++i) {
      if (i > 0) s_->clock.sleepMs(10);
      pump();
      std::lock_guard<std::mutex> lock(s_->mutex);
      if (s_->broken) return -5;
      if (int32_t n = take(dst, maxBytes); n > 0) return n;
    }
    return 0;
  }

  int32_t write(const uint8_t* data, int32_t size) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    if (s_->broken) return -5;
    std::deque<uint8_t>& out = isHost_ ? s_->toDevice : s_->toHost;
    out.insert(out.end(), data, data + std::max(size, 0));
    if (isHost_) s_->hostWritten += uint64_t(std::max(size, 0));
    s_->arrived.notify_all();
    return size;
  }

  void flush() override {}

  bool setBaud(int32_t baud) override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    if (baud <= 0) return false;
    s_->baud[isHost_ ? 0 : 1] = baud;
    return true;
  }

  uint32_t bitsPerSecond() override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    return uint32_t(s_->baud[isHost_ ? 0 : 1]);
  }

  void close() override {
    std::lock_guard<std::mutex> lock(s_->mutex);
    s_->broken = true;
    s_->arrived.notify_all();
  }

 private:
  std::deque<uint8_t>& inbox() { return isHost_ ? s_->toHost : s_->toDevice; }
  int32_t take(uint8_t* dst, int32_t maxBytes) {
    std::deque<uint8_t>& in = inbox();
    const int32_t n = int32_t(std::min<size_t>(in.size(), size_t(std::max(maxBytes, 0))));
    std::copy_n(in.begin(), n, dst);
    in.erase(in.begin(), in.begin() + n);
    return n;
  }
  std::shared_ptr<Shared> s_;
  bool isHost_;
};

LoopbackPair::LoopbackPair(Clock& clock)
    : shared_(std::make_shared<Shared>(clock)),
      host_(std::make_unique<End>(shared_, true)),
      device_(std::make_unique<End>(shared_, false)) {}

LoopbackPair::~LoopbackPair() = default;

SerialPort& LoopbackPair::host() { return *host_; }
SerialPort& LoopbackPair::device() { return *device_; }

void LoopbackPair::setPump(std::function<void()> pump) {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->pump = std::move(pump);
}

void LoopbackPair::disconnect() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->broken = true;
  shared_->arrived.notify_all();
}

int32_t LoopbackPair::hostBaud() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->baud[0];
}

int32_t LoopbackPair::deviceBaud() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->baud[1];
}

uint64_t LoopbackPair::bytesWrittenByHost() const {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return shared_->hostWritten;
}

}  // namespace sk720
