#include "link/acquisition.h"

namespace sk720 {
namespace {

AcquisitionObserver& silentObserver() {
  static AcquisitionObserver observer;
  return observer;
}

// Waits until the working loop has really ended: after this no thread but the caller reads the
// head port. The loop looks at the stop request after every reader result, so this is about a
// second on a silent head.
void stopWorkingLoop(Acquisition& acq) {
  RIZ720_StopWorkingThread(acq.state.stopRequest, &acq.workingThread);
  while (acq.workingThread.valid() && !acq.workingThread.joinFor(1000)) {
  }
}

void stopGpsLoop(Acquisition& acq) {
  acq.state.gpsStopRequest.store(true);
  while (acq.gpsThread.valid() && !acq.gpsThread.joinFor(1000)) {
  }
}

void closePorts(Acquisition& acq) {
  if (acq.headPort) acq.headPort->close();
  if (acq.gpsPort) acq.gpsPort->close();
  acq.headPort.reset();
  acq.gpsPort.reset();
}

constexpr int32_t kRateRefused = 1;       // switchBaud's result for "#ER"
constexpr int32_t kOpeningBaud = 115200;  // the rate a head port is opened with

bool cancelled(const ConnectJob& job) { return job.cancel && job.cancel->load(); }

// The rate switch's pause between attempts, cut short by a cancel or a stop request.
void pauseUnlessCancelled(Acquisition& acq, const ConnectJob& job, uint32_t ms,
                          const std::atomic<bool>* stop) {
  constexpr uint32_t kSlice = 100;
  for (uint32_t slept = 0; slept < ms && !cancelled(job) && !stop->load(); slept += kSlice) {
    acq.clock.sleepMs(ms - slept < kSlice ? ms - slept : kSlice);
  }
}

// Ends a withdrawn connection: the loops this sequence may have started, then its own ports.
StartResult abandonConnect(Acquisition& acq) {
  stopWorkingLoop(acq);
  stopGpsLoop(acq);
  closePorts(acq);
  acq.observer->linkStatus(LinkStatus::Disconnected);
  acq.observer->linkRate(0, 0);
  acq.observer->disconnected();
  return StartResult::Cancelled;
}

}  // namespace

const char* linkStatusText(LinkStatus status) {
  switch (status) {
    case LinkStatus::Connected:
      return "Connected";
    case LinkStatus::Disconnected:
      return "Disconnected";
    case LinkStatus::PortOpened:
      return "Port opened";
    case LinkStatus::ZeroPositioning:
      return "Zero positioning";
    case LinkStatus::OpeningPort:
      return "Opening serial port";
  }
  return "";
}

Acquisition::Acquisition(LineStore& store_, ScanInputs& inputs_, GpsFix& gps_,
                         StatusText& statusText_, RecordStorage& storage_, Clock& clock_)
    : store(store_),
      inputs(inputs_),
      gps(gps_),
      statusText(statusText_),
      storage(storage_),
      clock(clock_),
      observer(&silentObserver()) {}

Acquisition::~Acquisition() {
  state.gpsStopRequest.store(true);
  stopWorkingLoop(*this);
  stopGpsLoop(*this);
}

void Acquisition::setWorkingFolder(const std::string& folder) {
  std::lock_guard<std::mutex> g(lock_);
  workingFolder_ = folder;
}
std::string Acquisition::workingFolder() const {
  std::lock_guard<std::mutex> g(lock_);
  return workingFolder_;
}
void Acquisition::setViewSettings(const ViewSettings& view) {
  std::lock_guard<std::mutex> g(lock_);
  view_ = view;
  state.hold.store(view.hold, std::memory_order_relaxed);
}
ViewSettings Acquisition::viewSettings() const {
  std::lock_guard<std::mutex> g(lock_);
  return view_;
}
std::string Acquisition::recordPath() const {
  std::lock_guard<std::mutex> g(lock_);
  return recordPath_;
}
void Acquisition::setRecordPath(const std::string& path) {
  std::lock_guard<std::mutex> g(lock_);
  recordPath_ = path;
}

StartResult ConnectThread(Acquisition& acq, const ConnectJob& job, PortFactory& ports) {
  AcquisitionObserver& ui = *acq.observer;
  // An earlier connection's stop request is not this one's.
  acq.state.linkStopRequest.store(false);
  if (cancelled(job)) return StartResult::Cancelled;
  ui.linkStatus(LinkStatus::OpeningPort);
  // A port still read by a loop of an earlier connection must not be replaced under it.
  stopWorkingLoop(acq);
  stopGpsLoop(acq);
  // A new session starts without a fix: nothing played from a file is taken for the receiver's.
  clearGpsFix(acq.gps);
  if (acq.headPort) acq.headPort->close();
  std::string reason;
  acq.headPort = ports.openHeadPort(job.headPortNumber, reason);
  if (!acq.headPort) {
    ui.linkStatus(LinkStatus::Disconnected);
    ui.portOpenFailed(reason);
    return StartResult::HeadPortFailed;
  }
  if (acq.gpsPort) acq.gpsPort->close();
  acq.gpsPort.reset();
  if (cancelled(job)) return abandonConnect(acq);
  if (job.gpsPortNumber != 0) {
    acq.gpsPort = ports.openGpsPort(job.gpsPortNumber, job.gpsBaud, reason);
    if (!acq.gpsPort) {
      ui.linkStatus(LinkStatus::Disconnected);
      acq.headPort->close();
      acq.headPort.reset();
      ui.portOpenFailed(reason);
      return StartResult::GpsPortFailed;
    }
  }
  ui.dialogText(LinkStatus::PortOpened);
  ui.dialogText(LinkStatus::ZeroPositioning);

  acq.state.headBaud.store(job.headBaud);
  const std::atomic<bool>* stop = &acq.state.linkStopRequest;
  int32_t r = -1;
  for (int32_t attempt = 1; attempt <= kRateSwitchAttempts && !stop->load(); ++attempt) {
    if (cancelled(job)) return abandonConnect(acq);
    r = switchBaud(*acq.headPort, job.headBaud, acq.clock, stop);
    if (r >= 0) break;
    // After the fifth attempt too: about 25 s in all.
    pauseUnlessCancelled(acq, job, kRateSwitchPauseMs, stop);
  }
  if (cancelled(job)) return abandonConnect(acq);
  if (stop->load()) {
    closePorts(acq);
    ui.linkStatus(LinkStatus::Disconnected);
    ui.dialogText(LinkStatus::Disconnected);
    return StartResult::Stopped;
  }
  if (r < 0) {
    acq.headPort->close();
    acq.headPort.reset();
    ui.linkStatus(LinkStatus::Disconnected);
    ui.dialogText(LinkStatus::Disconnected);
    return StartResult::NoAnswer;
  }
  // A head that refuses the rate ("#ER") keeps talking at the rate the port was opened with;
  // the parameters and the link text must say so, or the head is paced for a rate it never took.
  int32_t rate = job.headBaud;
  if (r == kRateRefused) {
    linkDiagnostic("switchBaud refused, the link stays at 115200\n");
    rate = kOpeningBaud;
    acq.state.headBaud.store(rate);
  }
  ui.linkStatus(LinkStatus::Connected);
  ui.dialogText(LinkStatus::Connected);
  ui.linkRate(job.headPortNumber, rate);
  ui.connected();
  ui.storeLinkChoices(job.headPortNumber, job.headBaud, job.gpsPortNumber, job.gpsBaud);
  const StartResult started = startSonar(acq);
  // A cancel during the loading is honoured once the head is out of the sequence.
  if (cancelled(job)) return abandonConnect(acq);
  return started;
}

void cancelConnection(Acquisition& acq, std::atomic<bool>& cancel) {
  cancel.store(true);
  acq.state.linkStopRequest.store(true);
}

void requestLinkStop(Acquisition& acq) {
  acq.state.linkStopRequest.store(true);
  acq.state.stopRequest.store(true);
}

void disconnectHead(Acquisition& acq) {
  stopWorkingLoop(acq);
  stopGpsLoop(acq);
  closePorts(acq);
  acq.observer->linkStatus(LinkStatus::Disconnected);
  acq.observer->linkRate(0, 0);
  acq.observer->disconnected();
}

}  // namespace sk720
