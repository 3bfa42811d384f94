// sk720 gpssim: a simulated GPS receiver on a pseudo-terminal, a serial device or stdout.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "sim/gps_receiver_sim.h"
#include "sim/pty_posix.h"
#include "sk720/commands.h"
#include "sk720/options.h"

namespace sk720::cli {
namespace {

struct GpssimOptions {
  sim::GpsSimPlan plan;
  std::string ptyLink;
  std::string port;
  int32_t baud = 4800;
  bool toStdout = false;
  bool chunks = false;
  int64_t count = -1;  // epochs; -1 runs until stopped
};

bool parseStart(const std::string& text, sim::GpsSimPlan& plan) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  const auto lat = parseNumber(text.substr(0, comma));
  const auto lon = parseNumber(text.substr(comma + 1));
  if (!lat || !lon || *lat < -89.9 || *lat > 89.9 || *lon < -180 || *lon > 180) return false;
  plan.startLatDeg = *lat;
  plan.startLonDeg = *lon;
  return true;
}

bool parseOptions(OptionReader& r, GpssimOptions& o) {
  while (!r.done() && r.ok()) {
    const std::string opt = r.next();
    auto number = [&](double lo, double hi) -> std::optional<double> {
      char allowed[64];
      std::snprintf(allowed, sizeof allowed, "a number from %g to %g", lo, hi);
      return r.number(opt, lo, hi, allowed);
    };
    if (opt == "--pty") {
      if (auto v = r.value(opt)) o.ptyLink = *v;
    } else if (opt == "--port") {
      if (auto v = r.value(opt)) o.port = *v;
    } else if (opt == "--baud") {
      if (auto n = r.integer(opt, 1, 4000000)) o.baud = int32_t(*n);
    } else if (opt == "--stdout") {
      o.toStdout = true;
    } else if (opt == "--rate") {
      if (auto v = number(0.01, 50)) o.plan.rateHz = *v;
    } else if (opt == "--talker") {
      if (auto v = r.value(opt)) {
        if (*v != "GP" && *v != "GN") r.badValue(opt, *v, "GP or GN");
        o.plan.talker = *v;
      }
    } else if (opt == "--start") {
      if (auto v = r.value(opt); v && !parseStart(*v, o.plan)) {
        r.badValue(opt, *v, "LAT,LON in degrees, -89.9 to 89.9 and -180 to 180");
      }
    } else if (opt == "--speed") {
      if (auto v = number(0, 1000)) o.plan.speedKnots = *v;
    } else if (opt == "--course") {
      if (auto v = number(0, 360)) o.plan.courseDeg = *v;
    } else if (opt == "--bad-checksum") {
      if (auto v = number(0, 1)) o.plan.badChecksumRate = *v;
    } else if (opt == "--chunks") {
      o.chunks = true;
    } else if (opt == "--lf-only") {
      o.plan.lfOnly = true;
    } else if (opt == "--count") {
      if (auto n = r.integer(opt, 1, INT64_MAX, "a number of epochs, 1 or more")) o.count = *n;
    } else if (opt == "--seed") {
      if (auto n = r.integer(opt, 0, INT64_MAX, "a whole number, 0 or more"))
        o.plan.seed = uint64_t(*n);
    } else {
      r.unknownOption(opt);
    }
  }
  const int outputs = int(!o.ptyLink.empty()) + int(!o.port.empty()) + int(o.toStdout);
  if (r.ok() && outputs != 1) {
    r.setError("no single output given", "give exactly one of --pty, --port and --stdout");
  }
  return r.ok();
}

bool writeAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= size_t(w);
  }
  return true;
}

}  // namespace

int runGpssim(const Args& args) {
  GpssimOptions o;
  // Receivers report the current time; tests of the simulator keep the plan's fixed default.
  o.plan.startUtcSeconds = int64_t(std::time(nullptr));
  OptionReader r("gpssim", args);
  if (!parseOptions(r, o)) return r.failure();
  std::string error;

  sim::watchStopSignals();
  sim::PtyLink pty;
  int fd = -1;
  if (!o.ptyLink.empty()) {
    if (!pty.open(o.ptyLink, error)) return fail("gpssim", o.ptyLink, error);
    std::fprintf(stderr, "gpssim: receiver on %s (%s)\n", o.ptyLink.c_str(),
                 pty.slavePath().c_str());
  } else if (!o.port.empty()) {
    fd = sim::openRawSerial(o.port, o.baud, error);
    if (fd < 0) return fail("gpssim", o.port, error);
    std::fprintf(stderr, "gpssim: receiver on %s at %d baud\n", o.port.c_str(), o.baud);
  } else {
    fd = STDOUT_FILENO;
  }

  auto send = [&](const std::string& bytes) {
    if (fd < 0) return pty.write(bytes.data(), bytes.size()) >= 0;
    return writeAll(fd, bytes.data(), bytes.size());
  };

  sim::GpsReceiverSim receiver(o.plan);
  std::mt19937 pauses(uint32_t(o.plan.seed));
  const auto period = std::chrono::duration<double>(1.0 / o.plan.rateHz);
  auto due = std::chrono::steady_clock::now();
  int status = 0;
  for (int64_t epoch = 0; (o.count < 0 || epoch < o.count) && !sim::stopSignalled(); ++epoch) {
    const std::string bytes = receiver.nextEpoch();
    bool ok = true;
    if (o.chunks) {
      // Pieces with short gaps between them, so readers see sentences cut anywhere.
      for (const std::string& piece : receiver.chunk(bytes, 40)) {
        ok = ok && send(piece);
        std::this_thread::sleep_for(std::chrono::milliseconds(pauses() % 4));
      }
    } else {
      ok = send(bytes);
    }
    if (!ok) {
      status = fail("gpssim", "sending failed", std::strerror(errno));
      break;
    }
    if (o.count >= 0 && epoch + 1 == o.count) break;
    due += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
    while (!sim::stopSignalled() && std::chrono::steady_clock::now() < due) {
      std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
          due - std::chrono::steady_clock::now(), std::chrono::milliseconds(50)));
    }
  }
  if (fd >= 0 && fd != STDOUT_FILENO) ::close(fd);
  pty.close();
  return status;
}

}  // namespace sk720::cli
