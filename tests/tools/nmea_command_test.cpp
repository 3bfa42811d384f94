// sk720 nmea: the JSON lines and the summary a field engineer reads.
#include <algorithm>

#include "sim/gps_receiver_sim.h"
#include "tool_test.h"

namespace sk720::cli {
namespace {

// Runs the command over `log` written to a file.
struct NmeaCommand : ToolTest {
  std::string decode(const std::string& log, bool summary) {
    Args args = {"nmea", write("log", log)};
    if (summary) args.push_back("--summary");
    const Outcome o = runLine(args);
    EXPECT_EQ(o.code, 0) << o.err;
    return o.out;
  }
};

#ifndef _WIN32
// The simulated receiver's own output, whole or cut into pieces, decodes epoch by epoch.
TEST_F(NmeaCommand, DecodesWhatTheSimulatedReceiverSends) {
  for (const char* line : {"gpssim --stdout --count 3 --rate 50 --seed 0",
                           "gpssim --stdout --count 3 --rate 50 --chunks --start -89.9,180",
                           "gpssim --stdout --count 3 --rate 50 --talker GN --start 89.9,-180"}) {
    const Outcome o = runLine(words(line));
    EXPECT_EQ(o.code, 0) << line << ": " << o.err;
    const std::string text = decode(o.out, false);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21) << line;  // seven sentences an epoch
  }
}
#endif

// A combined receiver reports its satellites in view per system, as GP: the talker read is kept.
TEST_F(NmeaCommand, OneLinePerAppliedSentenceWithItsTalkerAndTheFixOrASummaryOfTheDropped) {
  sim::GpsReceiverSim receiver(
      {.talker = "GN", .startLatDeg = 48.1173, .startLonDeg = -11.5166667});
  const std::string text = decode(receiver.nextEpoch() + "$GPZDA,bad*00\r\n", false);
  std::vector<std::string> types;
  for (size_t at = 0; (at = text.find("{\"type\":\"", at)) != std::string::npos; at += 9)
    types.push_back(text.substr(at + 9, 5));
  EXPECT_EQ(types, (std::vector<std::string>{"GNGGA", "GNGSA", "GPGSV", "GPGSV", "GPGSV", "GNRMC",
                                             "GNVTG"}));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
  const std::string first = text.substr(0, text.find('\n'));
  const std::string last = text.substr(text.rfind('\n', text.size() - 2) + 1);
  for (const char* part : {"\"lat\":0.83980", "\"latDeg\":48.1173", "\"lonDeg\":-11.51666",
                           "\"sig\":1,\"fix\":1,", "T12:35:19\""})
    EXPECT_NE(first.find(part), std::string::npos) << part << " in " << first;
  EXPECT_NE(last.find("\"pdop\":1.50,\"sig\":1,\"fix\":3,\"utc\":\"2019-09-02T12:35:19\""),
            std::string::npos)
      << last;

  // The summary counts what was dropped.
  sim::GpsReceiverSim bad({.badChecksumRate = 1.0}), foreign({.talker = "GL"}), good({});
  const std::string log =
      bad.nextEpoch() + foreign.nextEpoch() + good.nextEpoch() + "$GPGGA,1*4B\r\n";
  EXPECT_EQ(decode(log, true),
            "{\"applied\":7,\"badChecksum\":7,\"foreign\":7,\"failed\":1,\"broken\":0,"
            "\"overflows\":0,\"leftBytes\":0}\n");
}

}  // namespace
}  // namespace sk720::cli
