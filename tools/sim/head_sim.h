#pragma once
// The head's side of the serial link as a state machine over a byte stream: command mode with
// its text replies and command frames, work mode streaming ping records of the synthetic scene,
// and the faults a real link shows. Runs in-process over a loopback (stepped or on a thread) and
// behind `sk720 headsim` on a pseudo-terminal or serial device.
//
// Figures of this head: it leaves work mode when no keep-alive (command 6) has come for
// keepAliveTimeoutMs (3000 ms by default); in work mode it takes a command frame only when it
// starts right after an "END1" record; before any parameter block has come it uses the default
// settings (10 m, step 1, full circle).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "link/serial_port.h"
#include "sim/scene.h"

namespace sk720::sim {

struct SentRecord {
  uint32_t index = 0;     // count of records produced before this one (dropped ones included)
  uint32_t angle = 0;     // as written in the header
  uint32_t length = 0;    // bytes written
  uint32_t checksum = 0;  // headChecksum of the bytes as written
  bool corrupted = false;
};

struct HeadSimOptions {
  int32_t headerSize = 44;   // 28, 36 or 44
  double corruptRate = 0.0;  // chance a record has one byte changed
  double dropRate = 0.0;     // chance a record is not sent at all
  double garbageRate = 0.0;  // chance of a few noise bytes before a record
  bool refuseRate = false;   // "#ER\n" to every rate change
  bool silent = false;       // never answers anything
  bool noCmnd = false;       // leaves work mode without announcing "CMND\r\n"
  int32_t stallAfter = -1;   // after this many records, stop in the middle of the next one
  // After this many parameter loads the head hangs at the next parameter block: it answers no
  // command from then on (a stale reply must not make the load look accepted).
  int32_t ignoreParamsAfter = -1;
  bool paceBytes = false;  // records take their transmission time at the link rate
  uint32_t keepAliveTimeoutMs = 3000;
  uint64_t seed = 1;
  uint32_t deviceId = 720001;
  std::function<void(const SentRecord&)> onRecord;  // called for every record written
};

enum class HeadMode { Command, Work, Stalled };

class HeadSimulator {
 public:
  HeadSimulator(SerialPort& port, Clock& clock, HeadSimOptions options = {});
  ~HeadSimulator();

  // One step: takes what the port has (its read may wait up to about 100 ms), answers it, and
  // sends the records that are due. Returns false once the port has failed.
  bool service();
  // Services until the stop flag is raised or the port fails.
  void run(const std::atomic<bool>& stop);

  HeadMode mode() const { return mode_.load(); }
  int32_t baud() const { return baud_.load(); }
  uint32_t recordsSent() const { return recordsSent_.load(); }
  uint32_t keepAlivesTaken() const { return keepAlives_.load(); }
  uint32_t framesRejected() const { return rejected_.load(); }
  // The plan of the current (or last) work period: command word, range, step, sector.
  PingPlan plan() const;
  bool blocksLoaded() const;

 private:
  struct State;
  std::unique_ptr<State> s_;
  std::atomic<HeadMode> mode_{HeadMode::Command};
  std::atomic<int32_t> baud_{115200};
  std::atomic<uint32_t> recordsSent_{0};
  std::atomic<uint32_t> keepAlives_{0};
  std::atomic<uint32_t> rejected_{0};

  void handleByte(uint8_t b);
  uint32_t msUntilNextRecord() const;
  void commandLine(const std::string& line);
  void workLine(const std::string& line);
  void enterWork();
  void leaveWork();
  void sendDueRecords();
  void sendRecord();
  void say(const char* text);
  void put(const uint8_t* data, size_t size);
};

// The simulated head's list of rates it can switch to.
bool headSupportsRate(int32_t baud);

}  // namespace sk720::sim
