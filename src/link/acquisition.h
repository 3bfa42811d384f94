#pragma once
// Live acquisition: the connect sequence, the start of the sonar (parameter loading and the
// threads), the working loop and the stop of the link. Portable: ports come from a factory,
// record files from a RecordStorage, and everything a window must learn goes to an observer.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "base/clock.h"
#include "base/status_text.h"
#include "gps/gps_fix.h"
#include "link/head_protocol.h"
#include "link/serial_port.h"
#include "link/sonar_params.h"
#include "records/record_sink.h"
#include "scan/line_store.h"
#include "scan/scan_image.h"
#include "scan/view_settings.h"

namespace sk720 {

// Link state texts (string table ids; the English text is what linkStatusText returns).
enum class LinkStatus : int32_t {
  Connected = 10002,
  Disconnected = 10003,
  PortOpened = 10004,
  ZeroPositioning = 10005,
  OpeningPort = 10006,
};
const char* linkStatusText(LinkStatus status);

// Head link rates in the order the rate list offers them.
constexpr int32_t kHeadBauds[] = {115200, 230400, 460800, 921600, 1000000};

// What the connect and start operations tell the windows. Every call has a do-nothing default.
class AcquisitionObserver {
 public:
  virtual ~AcquisitionObserver() = default;
  virtual void linkStatus(LinkStatus) {}  // status bar part 0 (and dialog)
  virtual void dialogText(LinkStatus) {}  // connect dialog only
  virtual void linkRate(uint32_t /*portNumber*/, int32_t /*baud*/) {}  // part 1; 0, 0 clears it
  virtual void portOpenFailed(const std::string& /*reason*/) {}        // the system error box
  virtual void connected() {}  // start button off, watch reset
  virtual void storeLinkChoices(uint32_t /*headPort*/, int32_t /*headBaud*/, uint32_t /*gpsPort*/,
                                int32_t /*gpsBaud*/) {}
  virtual void threadStartFailed(const std::string& /*reason*/) {}
  virtual void workingThreadStarted() {}  // runs on the new working thread
  virtual void recordingResumed() {}      // the recording blink timer
  virtual void resetView() {}             // the display range changed
  virtual void stopPlayback() {}
  virtual void disconnected() {}  // start button on
};

// Opens the link's ports; a failure leaves a one-line reason.
class PortFactory {
 public:
  virtual ~PortFactory() = default;
  virtual std::unique_ptr<SerialPort> openHeadPort(uint32_t portNumber, std::string& reason) = 0;
  virtual std::unique_ptr<SerialPort> openGpsPort(uint32_t portNumber, int32_t baud,
                                                  std::string& reason) = 0;
};

// Why the last working loop ended.
enum class WorkingExit : int32_t { None, Stopped, NoPort, PortFailed, FileFailed, WriteFailed };

// The values the threads share, all without a lock.
struct AcquisitionState {
  std::atomic<bool> stopRequest{false};  // the stop event: the working loop must end
  // The user's stop of the link: a connect or a start in progress gives up at
  // its next wait step. Raised by requestLinkStop; whoever starts a new
  // connection clears it first.
  std::atomic<bool> linkStopRequest{false};
  std::atomic<bool> stopEventCreated{false};  // a working loop has been started since start-up
  std::atomic<bool> recordEvent{false};       // recording on
  std::atomic<int32_t> recordingActive{0};    // the user's wish, kept across restarts
  std::atomic<int32_t> headBaud{115200};
  std::atomic<int32_t> hold{0};  // the display is frozen; recording goes on
  std::atomic<bool> gpsStopRequest{false};
  std::atomic<bool> gpsReading{false};       // a receiver's port is being read
  std::atomic<int32_t> previousTurnSide{0};  // carries over from one working loop to the next
  std::atomic<bool> workingRunning{false};
  std::atomic<WorkingExit> workingExit{WorkingExit::None};
  // Figures of the current working loop (status lines, tests).
  std::atomic<uint64_t> recordsReceived{0};
  std::atomic<uint64_t> recordsWritten{0};
  std::atomic<uint64_t> bytesWritten{0};
  std::atomic<uint64_t> turns{0};
  std::atomic<uint32_t> keepAlivesSent{0};
  std::atomic<uint32_t> workingLoopsStarted{0};
};

struct Acquisition {
  Acquisition(LineStore& store, ScanInputs& inputs, GpsFix& gps, StatusText& statusText,
              RecordStorage& storage, Clock& clock = systemClock());
  ~Acquisition();  // stops the threads, then closes the ports
  Acquisition(const Acquisition&) = delete;
  Acquisition& operator=(const Acquisition&) = delete;

  LineStore& store;
  ScanInputs& inputs;
  GpsFix& gps;
  StatusText& statusText;
  RecordStorage& storage;
  Clock& clock;
  AcquisitionObserver* observer;  // never null

  AcquisitionState state;
  StatusText gpsSentence;  // the receiver's newest NMEA sentence

  // Owned by whoever runs the start (one thread at a time).
  SonarSettings settings;
  SonarParams params;
  bool tunable = false;

  void setWorkingFolder(const std::string& folder);
  std::string workingFolder() const;
  void setViewSettings(const ViewSettings& view);
  ViewSettings viewSettings() const;
  // Path of the working loop's record file (empty before the first one).
  std::string recordPath() const;
  void setRecordPath(const std::string& path);

  // Set by the connect sequence; read by the loops only while they run.
  std::unique_ptr<SerialPort> headPort;
  std::unique_ptr<SerialPort> gpsPort;
  WorkerThread workingThread;
  WorkerThread gpsThread;

 private:
  mutable std::mutex lock_;  // the folder, view settings and record path
  std::string workingFolder_;
  ViewSettings view_;
  std::string recordPath_;
};

// The connect thread's job.
struct ConnectJob {
  uint32_t headPortNumber = 0;
  uint32_t gpsPortNumber = 0;  // 0 = no GPS
  int32_t gpsBaud = 4800;
  int32_t headBaud = 115200;  // the rate chosen in the rate list
  // Raised by the connect dialog's Cancel: the sequence ends at its next step, attempt or pause
  // and closes the ports it opened itself, so that nobody closes them under it.
  const std::atomic<bool>* cancel = nullptr;
};

enum class StartResult : int32_t {
  Started = 0,
  HeadPortFailed,
  GpsPortFailed,
  NoAnswer,    // the rate switch failed five times
  LoadFailed,  // the loading sequence was abandoned
  ThreadFailed,
  Stopped,    // the link stop request came first
  Cancelled,  // the connect request was withdrawn; the ports are closed again
};

constexpr int32_t kRateSwitchAttempts = 5;
constexpr uint32_t kRateSwitchPauseMs = 3000;

// The connect sequence: ports, rate switch, link choices, then startSonar.
StartResult ConnectThread(Acquisition& acq, const ConnectJob& job, PortFactory& ports);

// Loads the settings into the head and starts the GPS reader (when none runs) and a new working
// loop; used at the end of a connection and whenever new settings are applied.
StartResult startSonar(Acquisition& acq);

// The user's stop, safe from any thread (and from a signal handler's flag): a
// connect or start in progress gives up and the working loop ends, each within
// about 100 ms.
void requestLinkStop(Acquisition& acq);

// Withdraws the connection that runs with this cancel flag: the sequence gives up inside the
// wait it is in (a silent head's reply wait lasts seconds), not only between its steps.
void cancelConnection(Acquisition& acq, std::atomic<bool>& cancel);

// Stops the loops, closes both ports, reports "Disconnected".
void disconnectHead(Acquisition& acq);

// The thread jobs: what a loop needs besides the shared state, owned by the loop once started.
struct ThreadJob {
  Acquisition* acquisition = nullptr;
  std::string workingFolder;
};

// The working loop (run on the working thread); returns why it ended.
WorkingExit WorkingThread(const ThreadJob& job);

}  // namespace sk720
