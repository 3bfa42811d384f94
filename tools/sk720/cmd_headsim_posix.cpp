// sk720 headsim: the simulated sonar head on a pseudo-terminal or a real serial device.
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "link/head_protocol.h"
#include "link/serial_port_posix.h"
#include "sim/head_sim.h"
#include "sim/pty_posix.h"
#include "sk720/commands.h"
#include "sk720/options.h"

namespace sk720::cli {
namespace {

struct HeadsimOptions {
  sim::HeadSimOptions head;
  std::string ptyLink;
  std::string port;
  int32_t baud = 115200;
  std::string logPath;
};

bool parseOptions(OptionReader& r, HeadsimOptions& o) {
  while (!r.done() && r.ok()) {
    const std::string opt = r.next();
    auto rate = [&](double& target) {
      if (const auto n = r.number(opt, 0.0, 1.0, "a share from 0 to 1")) target = *n;
    };
    auto integer = [&](int64_t lo, int64_t hi) -> std::optional<int64_t> {
      return r.integer(opt, lo, hi);
    };
    if (opt == "--pty") {
      if (auto v = r.value(opt)) o.ptyLink = *v;
    } else if (opt == "--port") {
      if (auto v = r.value(opt)) o.port = *v;
    } else if (opt == "--baud") {
      if (auto n = integer(1, 4000000)) o.baud = int32_t(*n);
    } else if (opt == "--header") {
      if (auto v = r.value(opt)) {
        if (*v == "28" || *v == "36" || *v == "44")
          o.head.headerSize = std::stoi(*v);
        else
          r.badValue(opt, *v, "28, 36 or 44");
      }
    } else if (opt == "--corrupt") {
      rate(o.head.corruptRate);
    } else if (opt == "--drop") {
      rate(o.head.dropRate);
    } else if (opt == "--garbage") {
      rate(o.head.garbageRate);
    } else if (opt == "--refuse-rate") {
      o.head.refuseRate = true;
    } else if (opt == "--silent") {
      o.head.silent = true;
    } else if (opt == "--no-cmnd") {
      o.head.noCmnd = true;
    } else if (opt == "--keep-alive-timeout") {
      if (auto n = integer(1, 3600000)) o.head.keepAliveTimeoutMs = uint32_t(*n);
    } else if (opt == "--stall-after") {
      if (auto n = integer(0, 1000000000)) o.head.stallAfter = int32_t(*n);
    } else if (opt == "--ignore-params-after") {
      if (auto n = integer(0, 1000000000)) o.head.ignoreParamsAfter = int32_t(*n);
    } else if (opt == "--pace") {
      o.head.paceBytes = true;
    } else if (opt == "--seed") {
      if (auto n = r.integer(opt, 0, INT64_MAX, "a whole number, 0 or more"))
        o.head.seed = uint64_t(*n);
    } else if (opt == "--log") {
      if (auto v = r.value(opt)) o.logPath = *v;
    } else if (opt == "--verbose") {
      setLinkVerbose(true);
    } else {
      r.unknownOption(opt);
    }
  }
  if (r.ok() && o.ptyLink.empty() == o.port.empty()) {
    r.setError("no single link given", "give exactly one of --pty LINK and --port DEV");
  }
  return r.ok();
}

}  // namespace

int runHeadsim(const Args& args) {
  HeadsimOptions o;
  OptionReader r("headsim", args);
  if (!parseOptions(r, o)) return r.failure();
  std::string error;

  std::FILE* log = nullptr;
  if (!o.logPath.empty()) {
    log = std::fopen(o.logPath.c_str(), "w");
    if (!log) return fail("headsim", o.logPath, std::strerror(errno));
    std::fprintf(log, "# index angle length checksum\n");
    std::fflush(log);
    o.head.onRecord = [log](const sim::SentRecord& rec) {
      std::fprintf(log, "%u %u %u %08x%s\n", rec.index, rec.angle, rec.length, rec.checksum,
                   rec.corrupted ? " corrupted" : "");
      std::fflush(log);
    };
  }

  sim::watchStopSignals();
  sim::PtyLink pty;
  std::unique_ptr<SerialPort> port;
  if (!o.ptyLink.empty()) {
    if (!pty.open(o.ptyLink, error)) return fail("headsim", o.ptyLink, error);
    const int fd = dup(pty.masterFd());
    if (fd < 0) return fail("headsim", o.ptyLink, std::strerror(errno));
    port = adoptSerialDescriptor(fd);
    std::printf("%s\n", pty.slavePath().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "headsim: head on %s (%s)\n", o.ptyLink.c_str(), pty.slavePath().c_str());
  } else {
    port = openSerialDevice(o.port, o.baud, &error);
    if (!port) return fail("headsim", o.port, error);
    std::fprintf(stderr, "headsim: head on %s at %d baud\n", o.port.c_str(), o.baud);
  }

  sim::HeadSimulator head(*port, systemClock(), o.head);
  std::atomic<bool> stop{false};
  std::thread watcher([&] {
    while (!stop.load()) {
      if (sim::stopSignalled()) stop = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  // Mode changes go to stderr: a head that left work mode by itself (no keep-alive in time)
  // explains a link that went quiet.
  sim::HeadMode mode = head.mode();
  while (!stop.load() && head.service()) {
    if (head.mode() == mode) continue;
    mode = head.mode();
    const char* name = mode == sim::HeadMode::Work      ? "work"
                       : mode == sim::HeadMode::Command ? "command"
                                                        : "stalled";
    std::fprintf(stderr,
                 "headsim: %s mode after %u records (%u keep-alives taken, %u frames refused)\n",
                 name, head.recordsSent(), head.keepAlivesTaken(), head.framesRejected());
  }
  const bool portFailed = !stop.load();
  stop = true;
  watcher.join();
  port->close();
  pty.close();
  if (log) std::fclose(log);
  std::fprintf(stderr, "headsim: %u records sent\n", head.recordsSent());
  return portFailed ? fail("headsim", "the port failed", "the other side closed it or it broke")
                    : 0;
}

}  // namespace sk720::cli
