// Turn detection and the heading rules of the working loop.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "link/working_loop.h"
#include "record_builder.h"
#include "records/playback_feed.h"

namespace sk720 {
namespace {

constexpr uint32_t kUp = 1u << 4;

float radiansOf(int64_t units) {
  // NOLINTNEXTLINE(bugprone-integer-division): the heading counts whole ninths
  return float(units / 9) * 2.0f * float(std::acos(-1.0)) / 3200.0f;
}

DataHeader record(uint32_t angle, uint32_t word, int32_t gyro, int32_t compass) {
  return {
      .headersize = 36, .angle = angle, .commandid = word, .gyroangle = gyro, .compass = compass};
}

// Plays one record (16 samples unless it has some); the lines it draws are of no interest here.
void play(testing::RecordSpec r, PlaybackFeedState& state, ScanInputs& played, GpsFix& gps) {
  static LineStore store;
  if (r.samples.empty()) r.samples.assign(16, 1);
  EXPECT_TRUE(feedPlaybackRecord(state, testing::buildRecord(r).data(), store, {}, played, gps));
}

TEST(Heading, FixNearZeroThenGyroOnlyUntilTheWordChanges) {
  // angle, command word, gyro, compass, time, a fix starting then (-1: the one before); compass
  // valid and heading in units after it (-1: not looked at)
  const int64_t steps[][8] = {
      {5000, kUp, 450, 900, 100000, 100000, 0, 450},      // away from zero: the gyro alone
      {28700, kUp, 450, 900, 100010, -1, 1, 900},         // near zero: offset = compass - gyro
      {7000, kUp, 1350, 0, 100020, -1, -1, 1800},         // the compass waits for the next fix
      {7000, kUp | 0x100, 1350, 0, 100030, -1, 0, 1800},  // a new word: invalid, offset kept
      // Head mounted down: both angles count the other way; negative headings wrap.
      {100, 0, 0, 28800 - 300, 1, 0, -1, -1},            // c = 300, g = 28800 -> 0
      {9000, 0, 900, 0, 2, -1, -1, -900 + 300 + 28800},  // g = 27900 - 28800 = -900
      {28700, 0, 0, 28800 - 600, 2 + kHeadingFixAgeMs + 1, -1, 1, 600}};  // stale: renewed
  ScanInputs in;
  HeadingFix fix = HeadingFix::startingAt(0);
  for (const auto& s : steps) {
    SCOPED_TRACE(s[0]);
    in.lastCommandWord = uint32_t(s[1]);
    if (s[5] >= 0) fix = HeadingFix::startingAt(uint32_t(s[5]));
    updateHeading(fix, record(uint32_t(s[0]), uint32_t(s[1]), int32_t(s[2]), int32_t(s[3])),
                  uint32_t(s[4]), in);
    if (s[6] >= 0) EXPECT_EQ(in.compassValid.load(), s[6]);
    if (s[7] >= 0) EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(s[7]));
  }
  updateHeading(fix, DataHeader{.headersize = 28, .angle = 9000}, 3,
                in);  // a short header: no heading
  EXPECT_EQ(in.headingRadians.load(), 0.0f);
}

// A played record's position is shown as a fix only when both coordinates are there.
TEST(Heading, PlayedPositionsNeedBothCoordinates) {
  ScanInputs played;
  PlaybackFeedState state;
  const float positions[][3] = {{0.5f, 0.25f, 1}, {0.5f, 0, 0}, {0, 0.25f, 0}, {0, 0, 0}};
  for (const auto& [lat, lon, sig] : positions) {
    GpsFix gps{.sig = 1 - int32_t(sig)};
    play({.lat = lat, .lon = lon}, state, played, gps);
    EXPECT_EQ(std::make_tuple(gps.sig.load(), gps.lat.load(), gps.lon.load()),
              std::make_tuple(int32_t(sig), lat, lon));
  }
  played.headingRadians = 1.0f;  // a short header: no position and no heading
  GpsFix gps{.sig = 1};
  play({.headerSize = 28, .samples = {1, 2}}, state, played, gps);
  EXPECT_EQ(std::make_pair(gps.sig.load(), played.headingRadians.load()), std::make_pair(0, 0.0f));
}

// The fix is taken within 2 degrees of zero (angles up to 160 and above 28640), live and played.
// Damaged compass and gyro fields give a heading within one turn, the same one as their values
// taken modulo a turn, both live and in playback: the display never unwinds turns.
TEST(Heading, TheFixNearZeroAndDamagedFieldsWithinOneTurn) {
  // angle, compass (the gyro of the next live record), fix taken
  const int64_t rows[][3] = {{0, INT32_MAX, 1}, {0, INT32_MIN, 1}, {0, 28800 * 1000 + 450, 1},
                             {160, 900, 1},     {161, 900, 0},     {28640, 900, 0},
                             {28641, 900, 1}};
  for (const auto& [angle, field, fixed] : rows) {
    SCOPED_TRACE(::testing::Message() << angle << " " << field);
    const int64_t units = (field % 28800 + 28800) % 28800;
    ScanInputs live{.lastCommandWord = kUp}, played;
    HeadingFix fix = HeadingFix::startingAt(0);
    updateHeading(fix, record(uint32_t(angle), kUp, 0, int32_t(field)), 1,
                  live);  // offset = compass
    EXPECT_EQ(live.compassValid.load(), fixed);
    updateHeading(fix, record(9000, kUp, int32_t(field), 0), 2, live);  // heading = gyro + offset
    GpsFix gps;
    PlaybackFeedState state;
    play({.angle = uint32_t(angle), .commandId = kUp, .compass = int32_t(field)}, state, played,
         gps);
    EXPECT_EQ(played.compassValid.load(), fixed);
    const float first = played.headingRadians.load();
    play({.angle = 9000, .commandId = kUp, .gyro = int32_t(field)}, state, played, gps);
    if (!fixed) continue;
    EXPECT_FLOAT_EQ(live.headingRadians.load(), radiansOf(2 * units % 28800));
    EXPECT_FLOAT_EQ(first, radiansOf(units));
    EXPECT_FLOAT_EQ(played.headingRadians.load(), radiansOf(2 * units % 28800));
  }
}
}  // namespace
}  // namespace sk720
