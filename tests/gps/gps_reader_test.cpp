// The GPS reader loop against a scripted port: what it publishes and when it ends.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <string>

#include "gps/gps_reader.h"
#include "gps/nav_info.h"
#include "sim/gps_receiver_sim.h"

namespace sk720 {
namespace {

// Hands out scripted reads ("" is a read that timed out); once the script is used up the port
// counts as closed and every read fails.
class ScriptedPort : public SerialPort {
 public:
  std::deque<std::string> script;
  int readsAfterClose = 0;
  int reads = 0;
  std::atomic<bool>* raiseAfterReads = nullptr;
  int raiseAt = 0;

  int32_t read(uint8_t* dst, int32_t maxBytes) override {
    ++reads;
    if (raiseAfterReads && reads >= raiseAt) raiseAfterReads->store(true);
    if (script.empty()) {
      ++readsAfterClose;
      return -5;
    }
    std::string& next = script.front();
    const int32_t n = std::min<int32_t>(maxBytes, int32_t(next.size()));
    std::memcpy(dst, next.data(), size_t(n));
    next.erase(0, size_t(n));
    if (next.empty() || n == 0) script.pop_front();
    return n;
  }
  int32_t write(const uint8_t*, int32_t size) override { return size; }
  void flush() override {}
  bool setBaud(int32_t) override { return true; }
  void close() override {}
};

std::string framed(const std::string& body) {
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", sim::nmeaChecksum(body));
  return "$" + body + tail;
}

TEST(GpsReader, FirstNonEmptyReadPublishesTheResetRecord) {
  ScriptedPort port;
  port.script = {"", "", "garbage without a sentence"};
  GpsFix fix;
  std::atomic<bool> stop{false};
  runGpsReader(port, fix, stop);
  EXPECT_EQ(fix.lat.load(), 0.0f);
  EXPECT_EQ(fix.lon.load(), 0.0f);
  EXPECT_EQ(fix.pdop.load(), 0.0f);
  EXPECT_EQ(fix.sig.load(), 0);
  EXPECT_EQ(fix.fix.load(), 1);
  EXPECT_EQ(port.readsAfterClose, 1);  // ends at the first failed read
}

TEST(GpsReader, EmptyReadsPublishNothing) {
  ScriptedPort port;
  port.script = {"", "", ""};
  GpsFix fix;
  std::atomic<bool> stop{false};
  runGpsReader(port, fix, stop);
  EXPECT_EQ(fix.pdop.load(), 100.0f);
  EXPECT_EQ(fix.fix.load(), 0);
}

TEST(GpsReader, RmcOnlyReceiverGivesFixButNoDilution) {
  ScriptedPort port;
  port.script = {framed("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W")};
  GpsFix fix;
  std::atomic<bool> stop{false};
  runGpsReader(port, fix, stop);
  EXPECT_EQ(fix.sig.load(), 2);
  EXPECT_EQ(fix.fix.load(), 2);
  EXPECT_EQ(fix.pdop.load(), 0.0f);
  EXPECT_FLOAT_EQ(fix.lat.load(), float(NmeaToRadians(4807.038)));
  EXPECT_FLOAT_EQ(fix.lon.load(), float(NmeaToRadians(1131.0)));
}

TEST(GpsReader, PdopComesFromHorizontalAndVerticalDilution) {
  ScriptedPort port;
  // Split across reads and across the 64-byte read size.
  const std::string stream =
      framed("GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,") +
      framed("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.2,1.6");
  port.script = {stream.substr(0, 30), "", stream.substr(30)};
  GpsFix fix;
  std::atomic<bool> stop{false};
  runGpsReader(port, fix, stop);
  EXPECT_FLOAT_EQ(fix.pdop.load(), 2.0f);
  EXPECT_EQ(fix.sig.load(), 1);
  EXPECT_EQ(fix.fix.load(), 3);
  EXPECT_LT(fix.lat.load(), 0.0f);
  EXPECT_LT(fix.lon.load(), 0.0f);
}

TEST(GpsReader, ForeignTalkerLeavesTheResetRecordTheCombinedOneGivesAFix) {
  for (const char* talker : {"GL", "GN"}) {
    SCOPED_TRACE(talker);
    sim::GpsSimPlan plan;
    plan.talker = talker;
    sim::GpsReceiverSim receiver(plan);
    ScriptedPort port;
    for (int i = 0; i < 5; ++i) port.script.push_back(receiver.nextEpoch());
    GpsFix fix;
    std::atomic<bool> stop{false};
    runGpsReader(port, fix, stop);
    const bool combined = std::string(talker) == "GN";
    EXPECT_EQ(fix.sig.load(), combined ? 1 : 0);
    EXPECT_EQ(fix.fix.load(), combined ? 3 : 1);
    EXPECT_EQ(fix.pdop.load() != 0.0f, combined);
  }
}

TEST(GpsReader, StopRequestEndsTheLoopOnAnIdlePort) {
  ScriptedPort port;
  for (int i = 0; i < 100; ++i) port.script.push_back("");
  std::atomic<bool> stop{false};
  port.raiseAfterReads = &stop;
  port.raiseAt = 3;
  GpsFix fix;
  runGpsReader(port, fix, stop);
  EXPECT_EQ(port.reads, 3);
}

TEST(GpsReader, NewestWholeSentenceIsPublishedAcrossReadsAndNoiseIsNot) {
  const std::string rmc =
      framed("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
  const std::string gga = framed("GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  ScriptedPort port;
  // The second sentence arrives in two reads, behind a line of noise far too long to be one.
  port.script = {rmc, "$" + std::string(300, 'x') + "\r\n" + gga.substr(0, 20), gga.substr(20)};
  GpsFix fix;
  std::atomic<bool> stop{false};
  StatusText newest;
  runGpsReader(port, fix, stop, &newest);
  EXPECT_EQ(newest.get(), gga.substr(0, gga.size() - 2));  // without its line end

  SentenceLines lines;
  const std::string partial = "$GPGSA,A,3";
  EXPECT_FALSE(
      lines.feed(reinterpret_cast<const uint8_t*>(partial.data()), int32_t(partial.size())));
  EXPECT_EQ(lines.newest(), "");
}

}  // namespace
}  // namespace sk720
