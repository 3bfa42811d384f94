// sk720 capture: headless live capture from a head through the program's own acquisition path.
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "link/acquisition.h"
#include "settings/settings_store.h"
#include "sk720/capture_platform.h"
#include "sk720/commands.h"
#include "sk720/options.h"
#include "sk720/path_checks.h"
#include "sk720/progress.h"

namespace sk720::cli {
namespace {

// Exit codes besides 0 and the options' 2.
constexpr int kExitPortFailed = 3;
constexpr int kExitNoAnswer = 4;
constexpr int kExitLoadFailed = 5;
constexpr int kExitStoppedEarly = 6;

volatile std::sig_atomic_t gStopSignal = 0;
// The link stop request of the running capture: Ctrl-C must also end a connect
// in progress.
std::atomic<std::atomic<bool>*> gLinkStop{nullptr};
static_assert(std::atomic<bool>::is_always_lock_free &&
                  std::atomic<std::atomic<bool>*>::is_always_lock_free,
              "set from a signal handler");
extern "C" void onStopSignal(int) {
  gStopSignal = 1;
  if (std::atomic<bool>* stop = gLinkStop.load()) stop->store(true);
}

// The port layer's reasons start with the port's name, which the message gives already.
std::string withoutPrefix(const std::string& reason, const std::string& port) {
  const std::string prefix = port + ": ";
  return reason.rfind(prefix, 0) == 0 ? reason.substr(prefix.size()) : reason;
}

struct CaptureOptions {
  std::string port;
  int32_t baud = 921600;
  std::string gpsPort;
  int32_t gpsBaud = 4800;
  std::string out = ".";
  double duration = 0.0;  // 0 = until interrupted
  int32_t rangeIndex = -1, stepIndex = -1, gainIndex = -1;
  int32_t sectorHeading = -1, sectorWidth = -1;
  bool record = true;
};

bool parseOptions(OptionReader& r, CaptureOptions& o) {
  while (!r.done() && r.ok()) {
    const std::string opt = r.next();
    auto integer = [&](int64_t lo, int64_t hi, int32_t& target) {
      if (const auto n = r.integer(opt, lo, hi)) target = int32_t(*n);
    };
    if (opt == "--port") {
      if (auto v = r.value(opt)) o.port = *v;
    } else if (opt == "--baud") {
      if (const auto v = r.value(opt)) {
        const auto n = parseInteger(*v, 1, 4000000);
        bool offered = false;
        for (int32_t b : kHeadBauds) offered |= n && b == *n;
        if (offered)
          o.baud = int32_t(*n);
        else
          r.badValue(opt, *v, "115200, 230400, 460800, 921600 or 1000000");
      }
    } else if (opt == "--gps-port") {
      if (auto v = r.value(opt)) o.gpsPort = *v;
    } else if (opt == "--gps-baud") {
      integer(300, 1000000, o.gpsBaud);
    } else if (opt == "--out") {
      if (auto v = r.value(opt)) o.out = *v;
    } else if (opt == "--duration") {
      if (const auto n = r.number(opt, 0.001, 1e7, "a number of seconds up to 10000000")) {
        o.duration = *n;
      }
    } else if (opt == "--range-index") {
      integer(0, kRangeCount - 1, o.rangeIndex);
    } else if (opt == "--step-index") {
      integer(0, kStepCount - 1, o.stepIndex);
    } else if (opt == "--gain-index") {
      integer(0, kGainCount - 1, o.gainIndex);
    } else if (opt == "--sector") {
      if (auto v = r.value(opt)) {
        const size_t comma = v->find(',');
        const auto h = parseInteger(v->substr(0, comma), 0, kSectorHeadingCount - 1);
        const auto w = comma == std::string::npos
                           ? std::nullopt
                           : parseInteger(v->substr(comma + 1), 0, kSectorWidthCount - 1);
        if (!h || !w) {
          r.badValue(opt, *v, "HEADING_INDEX,WIDTH_INDEX: 0 to 7, then 0 to 3");
        } else {
          o.sectorHeading = int32_t(*h);
          o.sectorWidth = int32_t(*w);
        }
      }
    } else if (opt == "--no-record") {
      o.record = false;
    } else {
      r.unknownOption(opt);
    }
  }
  if (r.ok() && o.port.empty()) r.setError("no head port given", "add --port DEV");
  return r.ok();
}

// The stored sonar settings (or their defaults) with the options applied.
SonarSettings captureSettings(const CaptureOptions& o) {
  SonarSettings s;
  if (auto store = makeDefaultSettingsBackend()) {
    const int32_t st = LoadRecords(*store, &s, nullptr);
    if (st != kSettingsOk) s = SonarSettings{};
    // Nothing stored yet is the first start; stored settings that cannot be read are news.
    if (st != kSettingsOk && st != kSettingsNotFound) {
      std::fputs("capture: stored settings could not be read; using the defaults\n", stderr);
    }
  }
  if (o.rangeIndex >= 0) s.rangeIndex = o.rangeIndex;
  if (o.stepIndex >= 0) s.stepIndex = o.stepIndex;
  if (o.gainIndex >= 0) s.gainIndex = o.gainIndex;
  if (o.sectorHeading >= 0) {
    s.sectorEnabled = 1;
    s.sectorHeadingIndex = o.sectorHeading;
    s.sectorWidthIndex = o.sectorWidth;
  }
  return s;
}

std::string gpsText(const GpsFix& gps) {
  if (gps.sig.load() == 0) return "GPS: no fix";
  const double k = 180.0 / std::acos(-1.0);
  const double lat = gps.lat.load() * k, lon = gps.lon.load() * k;
  char text[64];
  std::snprintf(text, sizeof text, "GPS: %.5f%c %.5f%c", std::fabs(lat), lat < 0 ? 'S' : 'N',
                std::fabs(lon), lon < 0 ? 'W' : 'E');
  return text;
}

class SignalGuard {
 public:
  explicit SignalGuard(std::atomic<bool>& linkStop) {
    gStopSignal = 0;
    gLinkStop.store(&linkStop);
    int_ = std::signal(SIGINT, onStopSignal);
    term_ = std::signal(SIGTERM, onStopSignal);
  }
  ~SignalGuard() {
    std::signal(SIGINT, int_);
    std::signal(SIGTERM, term_);
    gLinkStop.store(nullptr);
  }

 private:
  void (*int_)(int);
  void (*term_)(int);
};

}  // namespace

int runCapture(const Args& args) {
  CaptureOptions o;
  OptionReader r("capture", args);
  if (!parseOptions(r, o)) return r.failure();
  // Before the port: a recording that cannot be kept is not worth connecting for.
  if (o.record) {
    if (const std::string why = unusableFolderReason(o.out); !why.empty()) {
      return fail("capture", o.out, why);
    }
  }

  auto store = std::make_unique<LineStore>();
  ScanInputs inputs;
  GpsFix& gps = processGpsFix();
  StatusText status;
  Acquisition acq(*store, inputs, gps, status, captureRecordStorage());
  SignalGuard signals(acq.state.linkStopRequest);
  acq.settings = captureSettings(o);
  acq.params = SonarParams{};
  acq.setWorkingFolder(o.out);
  acq.state.recordingActive = o.record ? 1 : 0;

  const std::unique_ptr<PortFactory> ports = makeCapturePorts(o.port, o.gpsPort);
  ConnectJob job;
  job.headPortNumber = 1;
  job.gpsPortNumber = o.gpsPort.empty() ? 0 : 2;
  job.gpsBaud = o.gpsBaud;
  job.headBaud = o.baud;

  struct Reasons : AcquisitionObserver {
    std::string portError;
    void portOpenFailed(const std::string& reason) override { portError = reason; }
  } observer;
  acq.observer = &observer;

  std::fprintf(stderr, "capture: connecting to %s at %d baud\n", o.port.c_str(), o.baud);
  switch (ConnectThread(acq, job, *ports)) {
    case StartResult::Started:
      break;
    case StartResult::HeadPortFailed:
      reportError("capture", "cannot open the head port " + o.port,
                  withoutPrefix(observer.portError, o.port));
      return kExitPortFailed;
    case StartResult::GpsPortFailed:
      reportError("capture", "cannot open the GPS port " + o.gpsPort,
                  withoutPrefix(observer.portError, o.gpsPort));
      return kExitPortFailed;
    case StartResult::NoAnswer:
      reportError("capture", "the head on " + o.port + " does not answer",
                  "no reply at any rate; check the cable, the power and --port");
      return kExitNoAnswer;
    case StartResult::LoadFailed:
      reportError("capture", "the head on " + o.port + " did not accept its parameters",
                  "the loading sequence failed");
      disconnectHead(acq);
      return kExitLoadFailed;
    case StartResult::ThreadFailed:
      reportError("capture", "cannot start the working thread", "out of system resources");
      disconnectHead(acq);
      return kExitStoppedEarly;
    case StartResult::Stopped:
    case StartResult::Cancelled:
      disconnectHead(acq);
      std::fprintf(stderr,
                   "capture: stopped before the head was working; "
                   "nothing was recorded\n");
      return 0;
  }

  const auto start = std::chrono::steady_clock::now();
  bool ended = false;
  {
    ProgressLine progress("capture", progressWanted());
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const auto now = std::chrono::steady_clock::now();
      if (gStopSignal) break;
      if (o.duration > 0 && std::chrono::duration<double>(now - start).count() >= o.duration) break;
      if (!acq.state.workingRunning.load()) {
        ended = true;
        break;
      }
      progress.update(acq.state.recordsReceived.load(), acq.state.bytesWritten.load(),
                      "turns " + std::to_string(acq.state.turns.load()) + "  " + gpsText(gps));
    }
  }

  // The loop writes out every record it has read and closes the file before it ends.
  RIZ720_StopWorkingThread(acq.state.stopRequest, &acq.workingThread);
  const WorkingExit exit = acq.state.workingExit.load();
  const uint64_t received = acq.state.recordsReceived.load();
  const uint64_t written = acq.state.recordsWritten.load();
  const uint64_t bytes = acq.state.bytesWritten.load();
  disconnectHead(acq);

  std::fprintf(stderr, "capture: %llu records received, %llu recorded (%llu bytes)\n",
               static_cast<unsigned long long>(received), static_cast<unsigned long long>(written),
               static_cast<unsigned long long>(bytes));
  if (written > 0) {
    std::printf("%s\n", acq.recordPath().c_str());
  } else if (exit != WorkingExit::FileFailed) {
    std::fprintf(stderr, "capture: nothing was recorded, so no file was kept\n");
  }
  if (ended) {
    const std::string why =
        exit == WorkingExit::PortFailed    ? "the head port " + o.port + " failed"
        : exit == WorkingExit::FileFailed  ? "the record file in " + o.out + " cannot be created"
        : exit == WorkingExit::WriteFailed ? "a record could not be written to " + acq.recordPath()
                                           : std::string("the working loop ended");
    reportError("capture", "stopped early", why);
    return kExitStoppedEarly;
  }
  return 0;
}

}  // namespace sk720::cli
