#include "sim/head_sim.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/byte_order.h"
#include "link/head_protocol.h"
#include "link/sonar_params.h"
#include "records/ping_record.h"

namespace sk720::sim {

namespace {

constexpr size_t kMaxLine = 4096;  // longer than any frame; more is noise

// Small deterministic generator, so that a seed replays the same faults.
struct Rng {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  double unit() { return double(next() >> 11) / double(1ull << 53); }
  bool chance(double p) { return p > 0.0 && unit() < p; }
};

PingPlan defaultPlan() {
  SonarSettings settings;
  SonarParams params;
  deriveSonarParams(settings, params, 115200);
  PingPlan plan;
  plan.commandWord = buildCommandWord(params);
  plan.rangeIndex = settings.rangeIndex;
  plan.step = params.step;
  plan.pingPeriodUs = uint32_t(params.pingPeriod);
  return plan;
}

}  // namespace

bool headSupportsRate(int32_t baud) {
  switch (baud) {
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
    case 230400:
    case 460800:
    case 921600:
    case 1000000:
      return true;
    default:
      return false;
  }
}

struct HeadSimulator::State {
  State(SerialPort& p, Clock& c, HeadSimOptions o) : port(p), clock(c), opt(std::move(o)) {}
  SerialPort& port;
  Clock& clock;
  HeadSimOptions opt;
  Rng rng{0};
  std::string line;
  bool lineOverflow = false;
  bool listening = false;   // the last record ended with "END1"
  bool lineInWork = false;  // a command line began while listening
  uint8_t block0[kParamBlock0Size] = {};
  uint8_t block1[kParamBlock1Size] = {};
  bool have0 = false, have1 = false;
  int32_t loads = 0;  // parameter loads taken (a load ends with block 1)
  bool hung = false;  // see ignoreParamsAfter
  mutable std::mutex planMutex;
  PingPlan plan;
  std::unique_ptr<PingSynthesizer> synth;
  uint32_t workStart = 0;
  double dueMs = 0.0;       // next ping, from workStart
  double lineFreeMs = 0.0;  // when the link has sent what was written (byte pacing)
  uint32_t lastKeepAlive = 0;
  uint32_t produced = 0;
  bool portFailed = false;
  std::vector<uint8_t> buf = std::vector<uint8_t>(kRecordBufferSize);
};

HeadSimulator::HeadSimulator(SerialPort& port, Clock& clock, HeadSimOptions options)
    : s_(std::make_unique<State>(port, clock, std::move(options))) {
  s_->rng.state = s_->opt.seed;
  s_->plan = defaultPlan();
}

HeadSimulator::~HeadSimulator() = default;

PingPlan HeadSimulator::plan() const {
  std::lock_guard<std::mutex> lock(s_->planMutex);
  return s_->plan;
}

bool HeadSimulator::blocksLoaded() const {
  std::lock_guard<std::mutex> lock(s_->planMutex);
  return s_->have0 && s_->have1;
}

void HeadSimulator::put(const uint8_t* data, size_t size) {
  if (s_->opt.silent || size == 0) return;
  if (s_->port.write(data, int32_t(size)) < 0) s_->portFailed = true;
}

void HeadSimulator::say(const char* text) {
  put(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
}

bool HeadSimulator::service() {
  if (s_->portFailed) return false;
  uint8_t in[4096];
  // In work mode the head listens only until its next record is due, so that what the program
  // sends right after a record is taken before the next one goes out, as on the real link.
  const int32_t n = mode_ == HeadMode::Work
                        ? s_->port.readWithin(in, int32_t(sizeof in), msUntilNextRecord())
                        : s_->port.read(in, int32_t(sizeof in));
  if (n < 0) {
    s_->portFailed = true;
    return false;
  }
  for (int32_t i = 0; i < n; ++i) handleByte(in[i]);
  if (mode_ == HeadMode::Work) {
    if (s_->clock.nowMs() - s_->lastKeepAlive > s_->opt.keepAliveTimeoutMs) {
      leaveWork();
    } else {
      sendDueRecords();
    }
  }
  return !s_->portFailed;
}

void HeadSimulator::run(const std::atomic<bool>& stop) {
  while (!stop.load() && service()) {
  }
}

void HeadSimulator::handleByte(uint8_t b) {
  State& s = *s_;
  if (mode_ == HeadMode::Stalled) return;
  if (mode_ == HeadMode::Work) {
    // Between records the head listens only right after an "END1" record.
    if (!s.lineInWork) {
      if (!s.listening || b == '\r' || b == '\n') return;
      s.lineInWork = true;
      s.line.clear();
    }
    if (b == '\r') {
      s.lineInWork = false;
      s.listening = false;
      workLine(s.line);
      s.line.clear();
    } else if (s.line.size() < kMaxLine) {
      s.line += char(b);
    } else {
      s.lineInWork = false;
      s.line.clear();
    }
    return;
  }
  if (b == '@') {
    s.line.clear();
    s.lineOverflow = false;
    say("#SYNC\n");
  } else if (b == '\r') {
    if (s.lineOverflow) {
      ++rejected_;
      say("#ER\n");
    } else {
      commandLine(s.line);
    }
    s.line.clear();
    s.lineOverflow = false;
  } else if (b == '\n') {
    // a stray line feed is not part of any request
  } else if (s.line.size() < kMaxLine) {
    s.line += char(b);
  } else {
    s.lineOverflow = true;
  }
}

void HeadSimulator::commandLine(const std::string& line) {
  State& s = *s_;
  if (s.hung) return;
  const size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) {
    say("#OK\n");  // the probe and the line clear
    return;
  }
  const std::string text = line.substr(first);
  if (text.size() >= 3 && text.front() == '<' && text.back() == '>') {
    const std::string digits = text.substr(1, text.size() - 2);
    const bool numeric = !digits.empty() && digits.size() <= 8 &&
                         digits.find_first_not_of("0123456789") == std::string::npos;
    const int32_t rate = numeric ? int32_t(std::stol(digits)) : 0;
    if (s.opt.refuseRate || !headSupportsRate(rate)) {
      say("#ER\n");
      return;
    }
    say("#OK\n");
    s.port.setBaud(rate);  // a pseudo-terminal has no real rate; failure is not the head's concern
    baud_ = rate;
    say("CMND\r\n");
    return;
  }
  CommandHeader header;
  std::vector<uint8_t> payload;
  if (decodeCommandFrame(text, header, payload) != 0) {
    ++rejected_;
    say("#ER\n");
    return;
  }
  std::lock_guard<std::mutex> lock(s.planMutex);
  switch (header.commandid) {
    case kCmdParamBlock0:
    case kCmdParamBlock1: {
      const bool zero = header.commandid == kCmdParamBlock0;
      if (s.opt.ignoreParamsAfter >= 0 && s.loads >= s.opt.ignoreParamsAfter) {
        s.hung = true;
        return;
      }
      const size_t want = zero ? kParamBlock0Size : kParamBlock1Size;
      if (payload.size() != want) {
        ++rejected_;
        say("#ER\n");
        return;
      }
      std::memcpy(zero ? s.block0 : s.block1, payload.data(), want);
      (zero ? s.have0 : s.have1) = true;
      if (!zero) ++s.loads;
      say("#OK\n");
      return;
    }
    case kCmdEnterWork:
      say("#OK\n");
      say("WORK\r\n");
      enterWork();
      return;
    case kCmdLeaveWork:
      say("#OK\n");
      return;
    default:
      ++rejected_;
      say("#ER\n");
  }
}

void HeadSimulator::workLine(const std::string& line) {
  CommandHeader header;
  std::vector<uint8_t> payload;
  if (decodeCommandFrame(line, header, payload) != 0) {
    ++rejected_;
    say("#ER\n");
    return;
  }
  if (header.commandid == kCmdLeaveWork) {
    leaveWork();
  } else if (header.commandid == kCmdEnterWork) {
    s_->lastKeepAlive = s_->clock.nowMs();
    ++keepAlives_;
    say("#OK\n");
  } else {
    ++rejected_;
    say("#ER\n");
  }
}

void HeadSimulator::enterWork() {
  // Called with planMutex held.
  State& s = *s_;
  PingPlan plan = defaultPlan();
  if (s.have0) {
    plan.commandWord = loadU32(s.block0 + 8);
    plan.pingPeriodUs = std::max<uint32_t>(loadU32(s.block0 + 28), 1000);
    const int32_t samples = int32_t(loadU32(s.block0 + 32));
    for (int32_t i = 0; i < kRangeCount; ++i) {
      if (kRangeSamples[i] == samples) plan.rangeIndex = i;
    }
  }
  if (s.have1) {
    plan.sectorHeading = loadU16(s.block1 + 0) / 9;
    plan.sectorWidth = loadU16(s.block1 + 2) / 9;
    plan.reverse = loadU16(s.block1 + 4) != 0;
    plan.step = std::min<int32_t>(loadU16(s.block1 + 6), 3200);
  }
  plan.headUp = (plan.commandWord >> 4) & 1;
  plan.headerSize = s.opt.headerSize;
  plan.deviceId = s.opt.deviceId;
  plan.seed = s.opt.seed;
  s.plan = plan;
  s.synth = std::make_unique<PingSynthesizer>(plan);
  s.workStart = s.clock.nowMs();
  s.lastKeepAlive = s.workStart;
  s.dueMs = 0.0;
  s.lineFreeMs = 0.0;
  s.listening = false;
  s.lineInWork = false;
  s.line.clear();
  mode_ = HeadMode::Work;
}

void HeadSimulator::leaveWork() {
  State& s = *s_;
  mode_ = HeadMode::Command;
  s.listening = false;
  s.lineInWork = false;
  s.line.clear();
  if (!s.opt.noCmnd) say("CMND\r\n");
}

uint32_t HeadSimulator::msUntilNextRecord() const {
  const State& s = *s_;
  const double elapsed = double(s.clock.nowMs() - s.workStart);
  const double wait = std::max(s.dueMs, s.opt.paceBytes ? s.lineFreeMs : 0.0) - elapsed;
  return wait <= 0.0 ? 0u : wait >= 100.0 ? 100u : uint32_t(wait);
}

void HeadSimulator::sendDueRecords() {
  State& s = *s_;
  const double periodMs = s.plan.pingPeriodUs / 1000.0;
  const double elapsed = double(s.clock.nowMs() - s.workStart);
  if (elapsed - s.dueMs > 1000.0) s.dueMs = elapsed;  // after a long pause, do not burst
  while (mode_ == HeadMode::Work && !s.portFailed &&
         elapsed >= std::max(s.dueMs, s.opt.paceBytes ? s.lineFreeMs : 0.0)) {
    s.dueMs += periodMs;
    sendRecord();
  }
}

void HeadSimulator::sendRecord() {
  State& s = *s_;
  uint8_t* buf = s.buf.data();
  const uint32_t index = s.produced++;
  const int32_t length = s.synth->next(buf);
  const uint32_t angle = loadU32(buf + 20);
  size_t written = 0;
  if (s.opt.stallAfter >= 0 && recordsSent_ >= uint32_t(s.opt.stallAfter)) {
    put(buf, size_t(length) / 2);  // the link dies in the middle of a record
    mode_ = HeadMode::Stalled;
    return;
  }
  if (s.rng.chance(s.opt.garbageRate)) {
    // Noise that can form neither "DATA", "END1" nor "CMND".
    uint8_t noise[32];
    const size_t n = 1 + s.rng.next() % sizeof noise;
    for (size_t i = 0; i < n; ++i) {
      uint8_t b = uint8_t(s.rng.next());
      if (b == 'D' || b == 'E' || b == 'C') b = '.';
      noise[i] = b;
    }
    put(noise, n);
    written += n;
  }
  const bool listeningAfter = loadU32(buf + length - 4) == kEnd1Magic;
  if (s.rng.chance(s.opt.dropRate)) {
    s.listening = false;
  } else {
    SentRecord rec;
    rec.index = index;
    rec.angle = angle;
    rec.length = uint32_t(length);
    if (s.rng.chance(s.opt.corruptRate)) {
      buf[s.rng.next() % uint32_t(length)] ^= uint8_t(1 + s.rng.next() % 255);
      rec.corrupted = true;
    }
    rec.checksum = headChecksum(buf, size_t(length));
    put(buf, size_t(length));
    written += size_t(length);
    ++recordsSent_;
    s.listening = listeningAfter;  // the head cannot know what the wire did to its bytes
    if (s.opt.onRecord) s.opt.onRecord(rec);
  }
  if (s.opt.paceBytes) {
    const double busy = double(written) * 10.0 * 1000.0 / double(baud_.load());
    s.lineFreeMs = std::max(s.lineFreeMs, s.dueMs - s.plan.pingPeriodUs / 1000.0) + busy;
  }
}

}  // namespace sk720::sim
