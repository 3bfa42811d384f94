// The GPS reader loop against a scripted port: what it publishes and when it ends.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <string>

#include "gps/gps_reader.h"
#include "gps/nav_info.h"
#include "scripted_port.h"
#include "sim/gps_receiver_sim.h"

namespace sk720 {
namespace {

using testing::ScriptedPort;

std::string framed(const std::string& body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sim::nmeaChecksum(body));
  return "$" + body + tail;
}

std::string epochs(const char* talker) {
  sim::GpsSimPlan plan;
  plan.talker = talker;
  sim::GpsReceiverSim receiver(plan);
  std::string all;
  for (int i = 0; i < 5; ++i) all += receiver.nextEpoch();
  return all;
}

// The first read with bytes publishes the parser's record, reset or not; a foreign talker's
// sentences leave it reset, the combined talker's give a fix. PDOP comes from horizontal and
// vertical dilution (RMC alone gives none); sentences split across reads and the 64-byte read
// size still count.
TEST(GpsReader, PublishesWhatTheReceiverSays) {
  const std::string rmc =
      framed("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
  const std::string ggaGsa =
      framed("GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,") +
      framed("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.2,1.6");
  const float lat = float(NmeaToRadians(4807.038)), lon = float(NmeaToRadians(1131.0));
  const std::deque<std::string> pieces = {ggaGsa.substr(0, 30), "", ggaGsa.substr(30)};
  const struct {
    const char* what;
    std::deque<std::string> script;
    int32_t sig, fix;
    float pdop, lat, lon;
  } cases[] = {
      {"timeouts only", {"", "", ""}, 0, 0, 100.0f, 0, 0},
      {"garbage", {"", "", "garbage without a sentence"}, 0, 1, 0.0f, 0, 0},
      {"RMC only", {rmc}, 2, 2, 0.0f, lat, lon},
      {"GGA and GSA in pieces", pieces, 1, 3, 2.0f, -lat, -lon},
      {"GLONASS talker", {epochs("GL")}, 0, 1, 0.0f, 0, 0},
  };
  for (const auto& c : cases) {
    ScriptedPort port;
    port.script = c.script;
    GpsFix fix;
    std::atomic<bool> stop{false};
    runGpsReader(port, fix, stop);
    EXPECT_EQ(port.failedReads, 1) << c.what;  // ends at the first failed read
    EXPECT_EQ(fix.sig.load(), c.sig) << c.what;
    EXPECT_EQ(fix.fix.load(), c.fix) << c.what;
    EXPECT_FLOAT_EQ(fix.pdop.load(), c.pdop) << c.what;
    EXPECT_FLOAT_EQ(fix.lat.load(), c.lat) << c.what;
    EXPECT_FLOAT_EQ(fix.lon.load(), c.lon) << c.what;
  }
}

TEST(GpsReader, StopRequestAndTheNewestWholeSentence) {
  ScriptedPort idle;
  idle.script.assign(100, "");
  std::atomic<bool> stop{false};
  idle.raise = &stop;
  idle.raiseAt = 3;
  GpsFix fix;
  runGpsReader(idle, fix, stop);
  EXPECT_EQ(idle.reads, 3);

  // The second sentence arrives in two reads, behind a line of noise far too long to be one.
  const std::string rmc =
      framed("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
  const std::string gga = framed("GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  ScriptedPort port;
  port.script = {rmc, "$" + std::string(300, 'x') + "\r\n" + gga.substr(0, 20), gga.substr(20)};
  stop = false;
  StatusText newest;
  runGpsReader(port, fix, stop, &newest);
  EXPECT_EQ(newest.get(), gga.substr(0, gga.size() - 2));  // without its line end
  SentenceLines lines;
  for (const std::string& text : {std::string("$\r\n"), std::string("$GPGSA,A,3")}) {
    EXPECT_FALSE(lines.feed(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size())));
  }
  EXPECT_EQ(lines.newest(), "");
}

}  // namespace
}  // namespace sk720
