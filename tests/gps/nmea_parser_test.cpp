// Framing, checksums and field rules of the NMEA parser, and what reaches the NavInfo; the GPS
// reader loop against a scripted port: what it publishes and when it ends.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "gps/gps_reader.h"
#include "gps/nav_info.h"
#include "gps/nmea_callbacks.h"
#include "gps/nmea_fields.h"
#include "gps/sentence_parser.h"
#include "scripted_port.h"
#include "sim/gps_receiver_sim.h"

namespace sk720 {
namespace {

using testing::ScriptedPort;
using V = std::vector<int64_t>;

std::string framed(const std::string& body, const char* ending = "\r\n") {
  char sum[4];
  std::snprintf(sum, sizeof sum, "%02X", sim::nmeaChecksum(body));
  return "$" + body + "*" + sum + ending;
}

const std::string kGga = "GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";

std::vector<std::string> errors;
void keepError(const char* message) { errors.push_back(message); }
std::string traced;
void keepTrace(std::string_view sentence) { traced = sentence; }

class NmeaParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(parser.Create());
    nav.Reset();
    errors.clear();
    setNmeaCallbacks(nullptr, keepError);
  }
  void TearDown() override { setNmeaCallbacks(nullptr, nullptr); }
  int32_t feed(const std::string& s) {
    return parser.Feed(reinterpret_cast<const uint8_t*>(s.data()), int32_t(s.size()), nav);
  }
  // Feeds a sentence that must be refused and checks that the record did not move.
  void expectRefused(const std::string& s, const char* message = nullptr) {
    const NavInfo before = nav;
    EXPECT_EQ(feed(s), 0) << s;
    EXPECT_EQ(nav, before) << s;
    if (message) {
      EXPECT_EQ(errors, std::vector<std::string>{message}) << s;
    }
    errors.clear();
  }
  SentenceParser parser;
  NavInfo nav;
  std::vector<int32_t> utc() const { return {nav.utc, nav.utc + 7}; }
};

TEST_F(NmeaParserTest, GgaRmcAndTheirFields) {
  setNmeaCallbacks(keepTrace, keepError);
  EXPECT_EQ(feed(framed(kGga)), 1);
  EXPECT_TRUE(errors.empty() && traced + "\r\n" == framed(kGga)) << traced;
  EXPECT_EQ(parser.fill(), 0);

  // South and west negative; signed values: a plus sign is allowed, a minus sign kept.
  for (const auto& [fields, elevation] :
       {std::pair{"545.4,M,46.9", 545.4}, {"+545.4,M,-46.9", 545.4}, {"-12.5,M,46.9", -12.5}}) {
    const std::string gga =
        "GPGGA,123519,3712.5,S,00010.0,W,2,08,0.9," + std::string(fields) + ",M,,";
    EXPECT_EQ(std::vector<double>({double(feed(framed(gga))), nav.lat, nav.lon, nav.elevation}),
              std::vector<double>({1, -3712.5, -10.0, elevation}));
  }
  // Time fractions, the RMC date, and RMC's status over GGA's quality; an overlong number reads
  // as zero.
  // Braced lists are evaluated in order: each feed before what it set.
  EXPECT_EQ(V({feed(framed("GPGGA,123519.123,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")),
               nav.utc[kUtcHundredths], nav.signal}),
            V({1, 123, 1}));
  EXPECT_EQ(feed(framed("GPRMC,081836.5,V,3751.65,S,14507.36,E,0.0,360.0,020919,11.3,E")), 1);
  EXPECT_EQ(utc(), (std::vector<int32_t>{119, 8, 2, 8, 18, 36, 5}));
  EXPECT_EQ(V({feed(framed("GPRMC,081836,A,3751.65,S,14507.36,E,022.4,360.0,020995,11.3,E,A")),
               nav.utc[kUtcYear], nav.signal, nav.fixType}),
            V({1, 95, 2, 2}));
  EXPECT_DOUBLE_EQ(nav.speed, 22.4 * 1.852);
  const std::string longNumber(256, '7');
  EXPECT_EQ(feed(framed("GPGGA,123519," + longNumber + ",N,01131.000,E,1,08,0.9,545.4,M,,M,,")), 1);
  EXPECT_EQ(std::make_pair(nav.lat, nav.lon), std::make_pair(0.0, 1131.0));
}

// A pattern's conversions stop at the targets given, and at a pattern that ends after a "%".
TEST(ScanFields, StopsAtTheLastTargetAndAtTheEndOfThePattern) {
  int32_t a = 0, b = 0;
  const FieldTarget one[] = {&a}, two[] = {&a, &b};
  EXPECT_EQ(V({scanFields("1,", "%d,%d", one), scanFields("1,", "%d,%", two),
               scanFields("1,2", "%d,%d", two), a * 10 + b}),
            V({1, 1, 2, 12}));
  // A target of another type than its conversion asks for stops the scan there, untouched.
  double d = 7.5;
  char c = 'x';
  std::string_view sv = "kept";
  const FieldTarget wrong[][1] = {{&d}, {&c}, {&sv}, {&a}};
  const char* patterns[] = {"%s", "%d", "%C", "%f"};
  for (size_t i = 0; i < std::size(patterns); ++i)
    EXPECT_EQ(scanFields("5", patterns[i], wrong[i]), 0) << patterns[i];
  EXPECT_EQ(std::make_tuple(d, c, sv, a), std::make_tuple(7.5, 'x', std::string_view("kept"), 1));
  EXPECT_EQ(scanFields("5", "%x", one), 0);  // no such conversion (widths: the RMC date above)
}

TEST_F(NmeaParserTest, RefusedSentencesLeaveTheRecordAlone) {
  std::string bad = framed(kGga);
  bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
  const std::string gga = kGga.substr(5);
  const std::pair<std::string, const char*> refused[] = {
      {bad, nullptr},
      // The combined talker's satellites in view stay foreign, as other talkers do (below).
      {framed("GNGSV,1,1,01,01,40,083,46"), nullptr},
      {framed("GPGGA,123519,4807.038,N"), "GPGGA parse error!"},
      {framed("GPGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,1.5,0.9"), "GPGSA parse error!"},
      {framed("GPVTG,54.7,T,34.4,X,5.5,N,10.2,K"), "GPVTG parse error (format error)!"},
      {framed("GPVTG,54.7,T,34.4,M,5.5,N"), "GPVTG parse error!"},
      {framed("GPRMC,123519,A,4807.038,N"), "GPRMC parse error!"},
      {framed("GPGGA,123519,48o7.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), nullptr},
      {framed("GPGGA," + std::string(300, '1') + kGga.substr(12)), nullptr},  // overlong time
      // A number needs a digit: a lone point or sign is no value.
      {framed("GPGGA,123519,4807.038,N,01131.000,E,1,08,.,545.4,M,46.9,M,,"), nullptr},
      {framed("GPGGA,123519,4807.038,N,01131.000,E,1,-,0.9,545.4,M,46.9,M,,"), nullptr},
      // A bare five-letter address is a known sentence without its fields, four letters are
      // foreign.
      {framed("GPGGA"), "GPGGA parse error!"},
      {framed("GPGG"), nullptr},
      // A middle GSV sentence must describe four satellites; the last may describe fewer.
      {framed("GPGSV,3,2,10,01,40,083,46,02,17,308,41"), "GPGSV parse error!"},
  };
  for (const auto& [sentence, message] : refused) expectRefused(sentence, message);
  // Times of six digits, optionally with a fraction after a point.
  for (const char* time : {"12351", "12x519", "1235190", "123519.12345", "123519x1"})
    expectRefused(framed("GPGGA," + std::string(time) + kGga.substr(12)));
  for (const char* time : {"123519", "123519.1", "123519.12", "123519.123"})
    EXPECT_EQ(feed(framed("GPGGA," + std::string(time) + kGga.substr(12))), 1) << time;
  EXPECT_EQ(V({feed(framed("GPGSV,3,3,10,01,40,083,46,02,17,308,")), parser.counts().badChecksum,
               parser.counts().foreign, parser.counts().failed}),
            V({1, 1, 2, 16}));
  // A refused sentence, also another talker's, does not hold up the ones behind it in the same
  // feed.
  EXPECT_EQ(feed(bad + framed("GLGGA" + gga) + framed("GPGGA,1") + framed(kGga)), 1);
}

// One second of a receiver that tracks GPS and GLONASS, as NMEA 4.1 has it: fixes under the
// combined talker (RMC with its navigational status, GSA per system with its system id), GPS
// satellites in view with their signal id, and a sentence nobody here reads. (Other talkers'
// satellites in view are foreign, as above.)
TEST_F(NmeaParserTest, MultiSystemReceiverGivesAFix) {
  const std::string epoch =
      framed("GNRMC,083559.00,A,4717.11437,N,00833.91522,E,0.004,77.52,091202,,,A,V") +
      framed("GNVTG,77.52,T,,M,0.004,N,0.008,K,A") +
      framed("GNGGA,083559.00,4717.11437,N,00833.91522,E,1,11,1.01,499.6,M,48.0,M,,") +
      framed("GNGSA,A,3,23,29,07,08,09,18,26,,,,,,1.94,1.01,1.65,1") +
      framed("GNGSA,A,3,67,68,77,78,,,,,,,,,1.94,1.01,1.65,2") +
      framed("GPGSV,2,1,07,23,38,230,44,29,71,156,47,07,29,116,41,08,09,081,36,1") +
      framed("GPGSV,2,2,07,09,10,034,30,18,50,270,45,26,22,300,39,1") +
      framed("GNTXT,01,01,02,ANTSTATUS=OK");
  // In the pieces the reader takes off the port.
  int32_t applied = 0;
  for (size_t at = 0; at < epoch.size(); at += 64) applied += feed(epoch.substr(at, 64));
  EXPECT_TRUE(errors.empty()) << errors.front();
  EXPECT_EQ(V({applied, parser.counts().foreign, nav.mask}),
            V({7, 1, kSentenceGga | kSentenceGsa | kSentenceGsv | kSentenceRmc | kSentenceVtg}));
  EXPECT_EQ(std::make_tuple(nav.lat, nav.lon, nav.signal, nav.fixType, nav.PDOP, nav.VDOP),
            std::make_tuple(4717.11437, 833.91522, 1, 3, 1.94, 1.65));
  EXPECT_EQ(utc(), (std::vector<int32_t>{102, 11, 9, 8, 35, 59, 0}));
  EXPECT_DOUBLE_EQ(nav.speed, 0.008);  // VTG's km/h after RMC's knots

  // A receiver that loses its fix says so under the combined talker too.
  EXPECT_EQ(V({feed(framed("GNRMC,083600.00,V,,,,,,,091202,,,N,V")), nav.signal, nav.fixType}),
            V({1, 0, 1}));
}

TEST_F(NmeaParserTest, FramingAcrossFeedsAndBrokenInput) {
  const std::string gga = framed(kGga);
  EXPECT_EQ(feed(gga.substr(0, gga.size() - 4)), 0);  // checksum split from its sentence
  EXPECT_EQ(feed(gga.substr(gga.size() - 4)), 1);
  std::string lower = framed(kGga.substr(0, kGga.size() - 1) + "8,");  // checksum 7F
  lower[lower.size() - 3] = 'f';
  EXPECT_EQ(feed(lower), 1) << "a checksum in small letters";

  // A new "$" inside a sentence drops the part before it; the next sentence survives.
  nav.Reset();
  EXPECT_EQ(
      V({feed("$GPGGA,1235$GPRM" + framed(kGga) + "*\r\n"), nav.signal, parser.counts().broken}),
      V({1, 1, 2}));

  // A lone "*", a CR without its LF or an LF-only ending keeps the bytes until the buffer
  // overflows and is emptied; a feed that exactly fills an empty buffer drops nothing.
  parser.Create();
  EXPECT_EQ(V({feed(std::string(SentenceParser::kDefaultCapacity, 'x')),
               feed(framed(kGga, "\r\r\n")), parser.counts().overflows}),
            V({0, 0, 1}));
  parser.Create();
  EXPECT_EQ(feed(framed(kGga, "\n")), 0);
  const int32_t held = parser.fill();
  EXPECT_GT(held, 0);
  const std::string filler(SentenceParser::kDefaultCapacity - held - 1, 'x');
  EXPECT_EQ(V({feed(filler), parser.fill(), feed(framed(kGga)), parser.counts().overflows}),
            V({0, SentenceParser::kDefaultCapacity - 1, 1, 2}));
  // A sentence begun in one feed and ended in one longer than the buffer still counts.
  parser.Create();
  const std::string tail = gga.substr(20) + std::string(SentenceParser::kDefaultCapacity, 'x');
  EXPECT_EQ(V({feed(gga.substr(0, 20)), feed(tail), parser.counts().overflows}), V({0, 1, 3}));
  // Bytes one short of full held, then more in one feed than the buffer holds.
  parser.Create();
  const std::string full(SentenceParser::kDefaultCapacity, 'x');
  EXPECT_EQ(V({feed(full.substr(1)), feed(full + framed(kGga)), parser.counts().overflows}),
            V({0, 1, 5}));
}

TEST(NavInfoReset, StartsWithTheGivenUtcTimeAndNoFix) {
  NavInfo nav{.mask = 5, .lat = 1.0};
  // 2019-09-02 12:35:19.456 UTC
  nav.Reset(std::chrono::system_clock::time_point(std::chrono::milliseconds(1567427719456LL)));
  EXPECT_EQ(std::make_tuple(nav.mask, nav.lat, nav.signal, nav.fixType),
            std::make_tuple(0, 0.0, 0, 1));
  EXPECT_EQ(std::vector<int32_t>(nav.utc, nav.utc + 7),
            (std::vector<int32_t>{119, 8, 2, 12, 35, 19, 45}));
}

// The first read with bytes publishes the parser's record, reset or not, and the newest whole
// sentence once one ends; sentences split across reads and the 64-byte read size still count.
// Which sentences count is the parser's (above); PDOP from both dilutions is `sk720 nmea`'s
// tests', the reader's stop request the acquisition tests' (a disconnect waits for it).
TEST(GpsReader, PublishesWhatTheReceiverSays) {
  const std::string gga = framed("GPGGA,123519,4807.038,S,01131.000,W,1,08,0.9,545.4,M,46.9,M,,"),
                    rmc =
                        framed("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
  // The second sentence arrives in two reads, behind a line of noise far too long to be one.
  const std::deque<std::string> noisy = {
      rmc, "$" + std::string(300, 'x') + "\r\n" + gga.substr(0, 20), gga.substr(20)};
  // Degrees and minutes in radians, worked out here; south and west negative.
  const float lat = float((48 + 7.038 / 60) * std::acos(-1.0) / 180),
              lon = float((11 + 31.0 / 60) * std::acos(-1.0) / 180);
  const struct {
    const char* what;
    std::deque<std::string> script;
    int32_t sig, fix;
    float pdop, lat, lon;
    std::string newest;
  } cases[] = {
      {"timeouts only", {"", "", ""}, 0, 0, 100.0f, 0, 0, ""},
      {"garbage", {"", "", "garbage without a sentence"}, 0, 1, 0.0f, 0, 0, ""},
      {"RMC, noise, GGA", noisy, 1, 2, 0.9f, -lat, -lon, gga.substr(0, gga.size() - 2)},
  };
  for (const auto& c : cases) {
    ScriptedPort port;
    port.script = c.script;
    GpsFix fix;
    std::atomic<bool> stop{false};
    StatusText newest;
    runGpsReader(port, fix, stop, &newest);
    // It ends at the first failed read.
    EXPECT_EQ(V({port.failedReads, fix.sig.load(), fix.fix.load()}), V({1, c.sig, c.fix}))
        << c.what;
    EXPECT_FLOAT_EQ(fix.pdop.load(), c.pdop) << c.what;
    EXPECT_FLOAT_EQ(fix.lat.load(), c.lat) << c.what;
    EXPECT_FLOAT_EQ(fix.lon.load(), c.lon) << c.what;
    EXPECT_EQ(newest.get(), c.newest) << c.what;
  }
  SentenceLines lines;
  for (const std::string& text : {std::string("$\r\n"), std::string("$GPGSA,A,3")})
    EXPECT_FALSE(lines.feed(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size())));
  EXPECT_EQ(lines.newest(), "");
}

}  // namespace
}  // namespace sk720
