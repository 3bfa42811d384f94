#pragma once
// The head's command protocol: checksum, Base64 command frames, the waits for its replies, and
// the sequences built from them (rate switch, command mode, parameter loading, work mode).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "link/serial_port.h"

namespace sk720 {

// Results beyond the record reader's.
constexpr int32_t kLinkDone = 0;
constexpr int32_t kLinkRefused = 1;      // "#ER\n"; callers take it as success
constexpr int32_t kLinkCommandMode = 2;  // "CMND\r\n" seen inside a record-end wait
constexpr int32_t kLinkNoReply = -2;
constexpr int32_t kLinkPortFailed = -5;
constexpr int32_t kLinkTimedOut = -6;
constexpr int32_t kLinkStopped = -7;  // the caller's stop request came during a wait or pause

// Reflected CRC-32 table step, register preset to ~seed, no final inversion.
uint32_t headChecksum(const uint8_t* data, size_t size, uint32_t seed = 0);

std::string base64Encode(const uint8_t* data, size_t size);
// Strict decoding: standard alphabet, length a multiple of 4, padding only at the end.
bool base64Decode(std::string_view text, std::vector<uint8_t>& out);

constexpr uint32_t kCommandMagic = 0x444E4D43;  // "CMND"
constexpr int32_t kCommandHeaderSize = 16;
constexpr uint32_t kCmdParamBlock0 = 0;
constexpr uint32_t kCmdParamBlock1 = 1;
constexpr uint32_t kCmdEnterWork = 6;
constexpr uint32_t kCmdLeaveWork = 7;

struct CommandHeader {
  uint32_t magic = kCommandMagic;
  uint32_t commandid = 0;
  uint32_t crc = 0;
  uint32_t length = 0;
};

// The whole frame as written: Base64 of header and payload, then CR.
std::vector<uint8_t> buildCommandFrame(uint32_t commandid, const uint8_t* payload, uint32_t length);
// Decodes a frame's text (without its CR): 0 good; -2 not Base64 or not "CMND"; -3 the length
// field disagrees with the payload; -1 the checksum disagrees.
int32_t decodeCommandFrame(std::string_view text, CommandHeader& header,
                           std::vector<uint8_t>& payload);

// Writes the frame in one call and flushes; the write result is not examined.
void sendCommand(SerialPort& port, uint32_t commandid, const uint8_t* payload, uint32_t length);
void sendCommand(SerialPort& port, uint32_t commandid, uint32_t value);  // u32 payload

// Each wait keeps its window of recent bytes for the life of the program; they are used by one
// thread at a time (whoever owns the head port). Tests start from clean windows.
void resetHeadWaitWindows();

// Silence limits. A wait also gives up after kWaitOverallFactor times its silence limit in all,
// so that a head that keeps talking without the awaited text cannot hold a caller forever.
constexpr uint32_t kSyncSilenceMs = 2000;
constexpr uint32_t kReplySilenceMs = 2000;
constexpr uint32_t kWorkSilenceMs = 5000;
constexpr uint32_t kRecordEndSilenceMs = 100;
constexpr uint32_t kWaitOverallFactor = 5;

// Every wait and sequence below also watches `stop` (may be null): once it is
// raised they give up with kLinkStopped after at most one read call or one 100
// ms slice of a pause.
int32_t waitSync(SerialPort& port, Clock& clock = systemClock(),
                 const std::atomic<bool>* stop = nullptr);
int32_t waitReply(SerialPort& port, Clock& clock = systemClock(),
                  const std::atomic<bool>* stop = nullptr);
int32_t waitCommandMode(SerialPort& port, uint32_t limitMs, Clock& clock = systemClock(),
                        const std::atomic<bool>* stop = nullptr);
int32_t waitWorkMode(SerialPort& port, Clock& clock = systemClock(),
                     const std::atomic<bool>* stop = nullptr);
int32_t waitRecordEndOrCommandMode(SerialPort& port, Clock& clock = systemClock(),
                                   const std::atomic<bool>* stop = nullptr);

// The line-settings change without purging (the portable face of setPortBaud).
inline bool setPortBaud(SerialPort& port, int32_t baud) { return port.setBaud(baud); }

int32_t switchBaud(SerialPort& port, int32_t baud, Clock& clock = systemClock(),
                   const std::atomic<bool>* stop = nullptr);
int32_t goToCommandMode(SerialPort& port, Clock& clock = systemClock(),
                        const std::atomic<bool>* stop = nullptr);
int32_t RIZ720_Work2Command(SerialPort& port, Clock& clock = systemClock(),
                            const std::atomic<bool>* stop = nullptr);
int32_t RIZ720_SetParams(SerialPort& port, const uint8_t* block0, const uint8_t* block1,
                         Clock& clock = systemClock(), const std::atomic<bool>* stop = nullptr);
int32_t RIZ720_Command2Work(SerialPort& port, Clock& clock = systemClock(),
                            const std::atomic<bool>* stop = nullptr);

// A worker thread whose end can be awaited with a limit (std::thread has no timed join). Any
// number of threads may wait for, join and query it at once: the one that finds the body ended
// joins it, the others see it joined.
class WorkerThread {
 public:
  WorkerThread() = default;
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  ~WorkerThread();  // waits for a still running body: a thread is never left behind
  // False when a thread is still held (running, or ended and not yet joined).
  bool start(std::function<void()> body);
  bool valid() const;
  // Waits up to limitMs for the body to return; true when it has (and the thread is joined).
  bool joinFor(uint32_t limitMs);

 private:
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  std::thread thread_;
  bool finished_ = false;
};

// Raises the stop request and, when the thread runs, waits up to limitMs for it; always 0.
int32_t RIZ720_StopWorkingThread(std::atomic<bool>& stopRequest, WorkerThread* thread,
                                 uint32_t limitMs = 10000);

// The loading sequence: stop the reader (stopWorking, may be empty), command mode, both blocks,
// work mode. Returns 0 when the head streams again, else the failed step's negative result;
// each failure emits its diagnostic.
int32_t loadHeadParameters(SerialPort& port, const uint8_t* block0, const uint8_t* block1,
                           const std::function<void()>& stopWorking, Clock& clock = systemClock(),
                           const std::atomic<bool>* stop = nullptr);

// The working thread's keep-alive: command 6 right after an "END1" record carrying an echo line,
// at most once a second. Returns true when it sent one.
class KeepAlive {
 public:
  explicit KeepAlive(Clock& clock) : clock_(clock), last_(clock.nowMs()) {}
  bool afterRecord(SerialPort& port, int32_t readerResult, uint32_t angle);

 private:
  Clock& clock_;
  uint32_t last_;
};

// Progress and failures of the head driver. On Windows the program installs a sink that writes
// to the debugger output; by default the text goes to stderr when verbosity is on.
void setLinkDiagnosticSink(std::function<void(const char*)> sink);
void setLinkVerbose(bool on);
void linkDiagnostic(const char* text);

}  // namespace sk720
