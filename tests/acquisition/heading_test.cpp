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

TEST(Heading, FixNearZeroThenGyroOnlyUntilTheWordChanges) {
  ScanInputs in;
  in.lastCommandWord = kUp;
  HeadingFix fix = HeadingFix::startingAt(100000);
  // Away from zero nothing is fixed yet: the gyro alone.
  updateHeading(fix, record(5000, kUp, 450, 900), 100000, in);
  EXPECT_EQ(in.compassValid.load(), 0);
  EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(450));
  // Within 2 degrees of zero: offset = compass - gyro.
  updateHeading(fix, record(28700, kUp, 450, 900), 100010, in);
  EXPECT_EQ(in.compassValid.load(), 1);
  EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(900));
  // The gyro turns, the compass is not looked at until the next fix.
  updateHeading(fix, record(7000, kUp, 1350, 0), 100020, in);
  EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(1800));
  // A new command word away from zero: the fix is no longer valid, its offset stays in use.
  in.lastCommandWord = kUp | 0x100;
  updateHeading(fix, record(7000, kUp | 0x100, 1350, 0), 100030, in);
  EXPECT_EQ(in.compassValid.load(), 0);
  EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(1800));
  // Head mounted down: both angles count the other way; negative headings wrap.
  in.lastCommandWord = 0;
  HeadingFix down = HeadingFix::startingAt(0);
  updateHeading(down, record(100, 0, 0, 28800 - 300), 1, in);  // c = 300, g = 28800 -> 0
  updateHeading(down, record(9000, 0, 900, 0), 2, in);         // g = 27900 - 28800 = -900
  EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(-900 + 300 + 28800));
  // A stale fix is renewed near zero even with the same word.
  updateHeading(down, record(28700, 0, 0, 28800 - 600), 2 + kHeadingFixAgeMs + 1, in);
  EXPECT_EQ(in.compassValid.load(), 1);
  EXPECT_FLOAT_EQ(in.headingRadians.load(), radiansOf(600));
}

// Damaged compass and gyro fields give a heading within one turn, the same one as their values
// taken modulo a turn, both live and in playback: the display never unwinds turns.
TEST(Heading, DamagedFieldsStayWithinOneTurn) {
  LineStore store;
  for (const int32_t field : {INT32_MAX, INT32_MIN, 28800 * 1000 + 450}) {
    SCOPED_TRACE(field);
    const int64_t units = (int64_t(field) % 28800 + 28800) % 28800;
    ScanInputs live;
    live.lastCommandWord = kUp;
    HeadingFix fix = HeadingFix::startingAt(0);
    updateHeading(fix, record(0, kUp, 0, field), 1, live);     // offset = compass
    updateHeading(fix, record(9000, kUp, field, 0), 2, live);  // heading = gyro + offset
    EXPECT_FLOAT_EQ(live.headingRadians.load(), radiansOf(2 * units % 28800));

    ScanInputs played;
    GpsFix gps;
    PlaybackFeedState state;
    const std::vector<uint8_t> r = testing::buildRecord(
        {.commandId = kUp, .compass = field, .samples = std::vector<uint8_t>(16, 1)});
    ASSERT_TRUE(feedPlaybackRecord(state, r.data(), store, ViewSettings{}, played, gps));
    EXPECT_FLOAT_EQ(played.headingRadians.load(), radiansOf(units));
  }
}

// A played record's position is shown as a fix only when both coordinates are there.
TEST(Heading, PlayedPositionsNeedBothCoordinates) {
  LineStore store;
  ScanInputs played;
  PlaybackFeedState state;
  const float positions[][3] = {{0.5f, 0.25f, 1}, {0.5f, 0, 0}, {0, 0.25f, 0}, {0, 0, 0}};
  for (const auto& [lat, lon, sig] : positions) {
    GpsFix gps;
    gps.sig = 1 - int32_t(sig);
    const std::vector<uint8_t> r =
        testing::buildRecord({.lat = lat, .lon = lon, .samples = std::vector<uint8_t>(16, 1)});
    ASSERT_TRUE(feedPlaybackRecord(state, r.data(), store, ViewSettings{}, played, gps));
    EXPECT_EQ(std::make_tuple(gps.sig.load(), gps.lat.load(), gps.lon.load()),
              std::make_tuple(int32_t(sig), lat, lon));
  }
  played.headingRadians = 1.0f;  // a short header: no position and no heading
  GpsFix gps;
  gps.sig = 1;
  const std::vector<uint8_t> r28 = testing::buildRecord({.headerSize = 28, .samples = {1, 2}});
  EXPECT_TRUE(feedPlaybackRecord(state, r28.data(), store, ViewSettings{}, played, gps));
  EXPECT_EQ(std::make_pair(gps.sig.load(), played.headingRadians.load()), std::make_pair(0, 0.0f));
}

// "Within 2 degrees of zero": angles up to 160 and above 28640, live and played.
TEST(Heading, TheFixIsTakenWithinTwoDegreesOfZero) {
  LineStore store;
  for (auto [angle, fixed] : {std::pair{160u, 1}, {161u, 0}, {28640u, 0}, {28641u, 1}}) {
    SCOPED_TRACE(angle);
    ScanInputs live;
    live.lastCommandWord = kUp;
    HeadingFix fix = HeadingFix::startingAt(0);
    updateHeading(fix, record(angle, kUp, 0, 900), 1, live);
    EXPECT_EQ(live.compassValid.load(), fixed);
    ScanInputs played;
    GpsFix gps;
    PlaybackFeedState state;
    const std::vector<uint8_t> r = testing::buildRecord(
        {.angle = angle, .commandId = kUp, .compass = 900, .samples = std::vector<uint8_t>(16, 1)});
    ASSERT_TRUE(feedPlaybackRecord(state, r.data(), store, ViewSettings{}, played, gps));
    EXPECT_EQ(played.compassValid.load(), fixed);
  }
}

}  // namespace
}  // namespace sk720
