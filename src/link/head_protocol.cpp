#include "link/head_protocol.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/byte_order.h"
#include "records/ping_record.h"

namespace sk720 {

namespace {

std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : (c >> 1);
    t[i] = c;
  }
  return t;
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The last bytes a wait has received.
struct Window {
  uint8_t bytes[6] = {};
  void push(uint8_t b) {
    std::memmove(bytes, bytes + 1, 5);
    bytes[5] = b;
  }
  bool endsWith(const char* text) const {
    const size_t n = std::strlen(text);
    return std::memcmp(bytes + 6 - n, text, n) == 0;
  }
};

struct WaitWindows {
  Window sync, reply, commandMode, workMode, recordEnd;
};
WaitWindows gWindows;

bool isStopped(const std::atomic<bool>* stop) {
  return stop && stop->load(std::memory_order_relaxed);
}

struct Match {
  const char* text;
  int32_t result;
};

int32_t waitFor(SerialPort& port, Clock& clock, Window& window, const Match* matches, int count,
                uint32_t silenceMs, int32_t timeoutResult, const std::atomic<bool>* stop) {
  const uint32_t start = clock.nowMs();
  uint32_t last = start;
  for (;;) {
    uint8_t b = 0;
    const int32_t r = port.read(&b, 1);
    if (r < 0) return kLinkPortFailed;
    const uint32_t now = clock.nowMs();
    if (r > 0) {
      window.push(b);
      last = now;
      for (int i = 0; i < count; ++i) {
        if (window.endsWith(matches[i].text)) return matches[i].result;
      }
    }
    if (isStopped(stop)) return kLinkStopped;
    if (now - last > silenceMs || now - start > silenceMs * kWaitOverallFactor)
      return timeoutResult;
  }
}

int32_t writeText(SerialPort& port, const char* text) {
  return port.write(reinterpret_cast<const uint8_t*>(text), int32_t(std::strlen(text)));
}

std::mutex gDiagnosticMutex;
std::function<void(const char*)> gDiagnosticSink;
std::atomic<bool> gVerbose{false};

}  // namespace

uint32_t headChecksum(const uint8_t* data, size_t size, uint32_t seed) {
  static const std::array<uint32_t, 256> table = makeCrcTable();
  uint32_t reg = ~seed;
  for (size_t i = 0; i < size; ++i) reg = (reg >> 8) ^ table[(reg ^ data[i]) & 0xFF];
  return reg;
}

std::string base64Encode(const uint8_t* data, size_t size) {
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  for (size_t i = 0; i < size; i += 3) {
    const uint32_t n = (uint32_t(data[i]) << 16) | (i + 1 < size ? uint32_t(data[i + 1]) << 8 : 0) |
                       (i + 2 < size ? uint32_t(data[i + 2]) : 0);
    out += kBase64[(n >> 18) & 63];
    out += kBase64[(n >> 12) & 63];
    out += i + 1 < size ? kBase64[(n >> 6) & 63] : '=';
    out += i + 2 < size ? kBase64[n & 63] : '=';
  }
  return out;
}

bool base64Decode(std::string_view text, std::vector<uint8_t>& out) {
  out.clear();
  if (text.size() % 4 != 0) return false;
  for (size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int v[4];
    int pad = 0;
    for (int k = 0; k < 4; ++k) {
      const char c = text[i + k];
      if (c == '=' && last && k >= 2) {
        v[k] = 0;
        ++pad;
        continue;
      }
      if (pad) return false;  // data after padding
      v[k] = base64Value(c);
      if (v[k] < 0) return false;
    }
    const uint32_t n =
        (uint32_t(v[0]) << 18) | (uint32_t(v[1]) << 12) | (uint32_t(v[2]) << 6) | v[3];
    out.push_back(uint8_t(n >> 16));
    if (pad < 2) out.push_back(uint8_t(n >> 8));
    if (pad < 1) out.push_back(uint8_t(n));
  }
  return true;
}

std::vector<uint8_t> buildCommandFrame(uint32_t commandid, const uint8_t* payload,
                                       uint32_t length) {
  std::vector<uint8_t> raw(kCommandHeaderSize + length);
  storeU32(raw.data() + 0, kCommandMagic);
  storeU32(raw.data() + 4, commandid);
  storeU32(raw.data() + 8, headChecksum(payload, length));
  storeU32(raw.data() + 12, length);
  if (length) std::memcpy(raw.data() + kCommandHeaderSize, payload, length);
  const std::string text = base64Encode(raw.data(), raw.size());
  std::vector<uint8_t> frame(text.begin(), text.end());
  frame.push_back('\r');
  return frame;
}

int32_t decodeCommandFrame(std::string_view text, CommandHeader& header,
                           std::vector<uint8_t>& payload) {
  std::vector<uint8_t> raw;
  if (!base64Decode(text, raw) || raw.size() < size_t(kCommandHeaderSize)) return kLinkNoReply;
  header.magic = loadU32(raw.data());
  header.commandid = loadU32(raw.data() + 4);
  header.crc = loadU32(raw.data() + 8);
  header.length = loadU32(raw.data() + 12);
  if (header.magic != kCommandMagic) return kLinkNoReply;
  if (header.length != raw.size() - kCommandHeaderSize) return -3;
  payload.assign(raw.begin() + kCommandHeaderSize, raw.end());
  if (headChecksum(payload.data(), payload.size()) != header.crc) return -1;
  return 0;
}

void sendCommand(SerialPort& port, uint32_t commandid, const uint8_t* payload, uint32_t length) {
  const std::vector<uint8_t> frame = buildCommandFrame(commandid, payload, length);
  port.write(frame.data(), int32_t(frame.size()));
  port.flush();
}

void sendCommand(SerialPort& port, uint32_t commandid, uint32_t value) {
  uint8_t payload[4];
  storeU32(payload, value);
  sendCommand(port, commandid, payload, 4);
}

void resetHeadWaitWindows() { gWindows = WaitWindows{}; }

int32_t waitSync(SerialPort& port, Clock& clock, const std::atomic<bool>* stop) {
  static const Match m[] = {{"#SYNC\n", 0}};
  return waitFor(port, clock, gWindows.sync, m, 1, kSyncSilenceMs, kLinkNoReply, stop);
}

int32_t waitReply(SerialPort& port, Clock& clock, const std::atomic<bool>* stop) {
  static const Match m[] = {{"#OK\n", 0}, {"#ER\n", 1}};
  return waitFor(port, clock, gWindows.reply, m, 2, kReplySilenceMs, kLinkNoReply, stop);
}

int32_t waitCommandMode(SerialPort& port, uint32_t limitMs, Clock& clock,
                        const std::atomic<bool>* stop) {
  static const Match m[] = {{"CMND\r\n", 0}};
  return waitFor(port, clock, gWindows.commandMode, m, 1, limitMs, kLinkNoReply, stop);
}

int32_t waitWorkMode(SerialPort& port, Clock& clock, const std::atomic<bool>* stop) {
  static const Match m[] = {{"WORK\r\n", 0}};
  return waitFor(port, clock, gWindows.workMode, m, 1, kWorkSilenceMs, kLinkNoReply, stop);
}

int32_t waitRecordEndOrCommandMode(SerialPort& port, Clock& clock, const std::atomic<bool>* stop) {
  static const Match m[] = {{"END1", 1}, {"CMND\r\n", 2}};
  return waitFor(port, clock, gWindows.recordEnd, m, 2, kRecordEndSilenceMs, kLinkTimedOut, stop);
}

int32_t switchBaud(SerialPort& port, int32_t baud, Clock& clock, const std::atomic<bool>* stop) {
  if (writeText(port, "@") < 0) return kLinkPortFailed;
  int32_t r = waitSync(port, clock, stop);
  if (r < 0) return r;
  if (!sleepWatching(clock, 100, stop)) return kLinkStopped;
  char request[32];
  std::snprintf(request, sizeof request, "    <%d>\r", int(baud));
  if (writeText(port, request) < 0) return kLinkPortFailed;
  r = waitReply(port, clock, stop);
  if (r != 0) return r;
  if (!setPortBaud(port, baud)) linkDiagnostic("setPortBaud failed\n");
  return waitCommandMode(port, 10000, clock, stop);
}

int32_t goToCommandMode(SerialPort& port, Clock& clock, const std::atomic<bool>* stop) {
  int32_t first = kLinkNoReply;
  for (int attempt = 0; attempt < 3; ++attempt) {
    clock.sleepMs(10);
    if (writeText(port, "\r") <= 0) return kLinkPortFailed;
    clock.sleepMs(10);
    if (attempt == 0) {
      first = waitReply(port, clock, stop);
      if (first == 0 || first == 1) return 0;
      if (first == kLinkStopped) return first;
    }
  }
  return first;
}

int32_t RIZ720_Work2Command(SerialPort& port, Clock& clock, const std::atomic<bool>* stop) {
  const uint32_t start = clock.nowMs();
  while (clock.nowMs() - start < 2000) {
    const int32_t r = waitRecordEndOrCommandMode(port, clock, stop);
    if (r == 1) sendCommand(port, kCmdLeaveWork, 1);
    if (r == 2) return 0;
    // A port that is gone stays gone: retrying would only spin until the deadline.
    if (r == kLinkPortFailed || r == kLinkStopped) return r;
  }
  return kLinkTimedOut;
}

int32_t RIZ720_SetParams(SerialPort& port, const uint8_t* block0, const uint8_t* block1,
                         Clock& clock, const std::atomic<bool>* stop) {
  writeText(port, "         \r");
  clock.sleepMs(10);
  if (waitReply(port, clock, stop) == kLinkStopped) return kLinkStopped;
  clock.sleepMs(10);
  const struct {
    uint32_t id;
    const uint8_t* data;
    uint32_t size;
  } blocks[2] = {{kCmdParamBlock0, block0, 64}, {kCmdParamBlock1, block1, 16}};
  for (const auto& b : blocks) {
    sendCommand(port, b.id, b.data, b.size);
    clock.sleepMs(10);
    const int32_t r = waitReply(port, clock, stop);
    if (r < 0) return r;
    clock.sleepMs(10);
  }
  return 0;
}

int32_t RIZ720_Command2Work(SerialPort& port, Clock& clock, const std::atomic<bool>* stop) {
  sendCommand(port, kCmdEnterWork, 1);
  clock.sleepMs(10);
  int32_t r = waitReply(port, clock, stop);
  if (r < 0) return r;
  clock.sleepMs(10);
  r = waitWorkMode(port, clock, stop);
  return r < 0 ? r : 0;
}

WorkerThread::~WorkerThread() { joinFor(UINT32_MAX); }

bool WorkerThread::start(std::function<void()> body) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (thread_.joinable()) return false;
  finished_ = false;
  thread_ = std::thread([this, body = std::move(body)] {
    body();
    std::lock_guard<std::mutex> g(mutex_);
    finished_ = true;
    ended_.notify_all();
  });
  return true;
}

bool WorkerThread::valid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return thread_.joinable();
}

bool WorkerThread::joinFor(uint32_t limitMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!thread_.joinable()) return true;
  const auto ended = [this] { return finished_ || !thread_.joinable(); };
  if (limitMs == UINT32_MAX) {
    ended_.wait(lock, ended);
  } else if (!ended_.wait_for(lock, std::chrono::milliseconds(limitMs), ended)) {
    return false;
  }
  // The body has returned and let go of the lock for good, so the join under the lock only waits
  // for the thread's exit; a second caller finds the thread joined and returns at once.
  if (thread_.joinable()) thread_.join();
  return true;
}

int32_t RIZ720_StopWorkingThread(std::atomic<bool>& stopRequest, WorkerThread* thread,
                                 uint32_t limitMs) {
  stopRequest.store(true);
  if (thread && thread->valid() && !thread->joinFor(limitMs)) {
    linkDiagnostic("RIZ720_StopWorkingThread: the working thread did not end\n");
  }
  return 0;
}

int32_t loadHeadParameters(SerialPort& port, const uint8_t* block0, const uint8_t* block1,
                           const std::function<void()>& stopWorking, Clock& clock,
                           const std::atomic<bool>* stop) {
  if (stopWorking) stopWorking();
  clock.sleepMs(10);
  int32_t r = RIZ720_Work2Command(port, clock, stop);
  if (r < 0) {
    linkDiagnostic("RIZ720_Work2Command failed\n");
    if (r != kLinkTimedOut) {
      linkDiagnostic("Go to Command mode failed\n");
      return r;
    }
    clock.sleepMs(100);
    r = goToCommandMode(port, clock, stop);
    if (r < 0) {
      linkDiagnostic("Go to Command mode failed\n");
      return r;
    }
  }
  r = RIZ720_SetParams(port, block0, block1, clock, stop);
  if (r < 0) {
    linkDiagnostic("RIZ720_SetParams failed\n");
    return r;
  }
  r = RIZ720_Command2Work(port, clock, stop);
  if (r < 0) {
    linkDiagnostic("RIZ720_Command2Work failed\n");
    return r;
  }
  return 0;
}

bool KeepAlive::afterRecord(SerialPort& port, int32_t readerResult, uint32_t angle) {
  if (readerResult != kRecordEnd1 || angle == kNoEchoAngle) return false;
  const uint32_t now = clock_.nowMs();
  if (now - last_ <= 1000) return false;
  last_ = now;
  sendCommand(port, kCmdEnterWork, 1);
  return true;
}

void setLinkDiagnosticSink(std::function<void(const char*)> sink) {
  std::lock_guard<std::mutex> lock(gDiagnosticMutex);
  gDiagnosticSink = std::move(sink);
}

void setLinkVerbose(bool on) { gVerbose.store(on, std::memory_order_relaxed); }

void linkDiagnostic(const char* text) {
  {
    std::lock_guard<std::mutex> lock(gDiagnosticMutex);
    if (gDiagnosticSink) {
      gDiagnosticSink(text);
      return;
    }
  }
  if (gVerbose.load(std::memory_order_relaxed)) std::fputs(text, stderr);
}

}  // namespace sk720
