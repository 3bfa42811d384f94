// The echo trace's text area: its four-line GPS history and what feeds it.
#include "views/echo_trace.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sk720 {
namespace {

std::vector<std::string> lines(const GpsTextHistory& h) {
  std::vector<std::string> out;
  for (size_t i = 0; i < h.size(); ++i) out.push_back(h.line(i));
  return out;
}

TEST(GpsTextHistory, RepeatsAreKeptOnceAndTheOldestGoesAfterFour) {
  GpsTextHistory h;
  for (const char* t : {"GPS: N/A", "GPS: N/A", "$A", "$B", "$B", "$C"}) h.push(t);
  EXPECT_EQ(lines(h), (std::vector<std::string>{"GPS: N/A", "$A", "$B", "$C"}));
  h.push("$D");
  EXPECT_EQ(lines(h), (std::vector<std::string>{"$A", "$B", "$C", "$D"}));
  h.push("$B");  // differs from the newest: taken again
  EXPECT_EQ(lines(h), (std::vector<std::string>{"$B", "$C", "$D", "$B"}));
}

TEST(GpsTextHistory, ReceiverSentenceWhileOneIsReadOtherwiseTheStripsLine) {
  const std::string strip = "GPS(3D): N 35 05.700, E 129 02.400, PDOP:  1.2 (GPS)";
  struct Case {
    bool receiver;
    std::string sentence;
    std::string expected;
  };
  const Case cases[] = {
      {true, "$GPGGA,1", "$GPGGA,1"},
      {true, "", strip},           // a receiver that has sent nothing yet
      {false, "$GPGGA,1", strip},  // a sentence left from a receiver no longer read
  };
  for (const Case& c : cases) EXPECT_EQ(gpsTraceText(c.receiver, c.sentence, strip), c.expected);
}

}  // namespace
}  // namespace sk720
