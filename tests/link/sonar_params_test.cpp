#include "link/sonar_params.h"

#include <gtest/gtest.h>

#include "base/byte_order.h"

namespace sk720 {
namespace {

SonarParams derived(SonarSettings s, int32_t baud = 0, SonarParams p = {}) {
  deriveSonarParams(s, p, baud);
  return p;
}

TEST(SonarParams, DefaultsGiveTheKnownCommandWordAndBlocks) {
  const SonarParams p = derived(SonarSettings{});
  EXPECT_EQ(p.pulseMode, 1);
  EXPECT_EQ(pulseKind(p.pulseMode), 1);
  EXPECT_EQ(p.samples, 1376);
  EXPECT_EQ(buildCommandWord(p), 0x20180284u);

  const SonarParamBlocks b = buildParamBlocks(p, false, 6);
  EXPECT_EQ(loadU32(b.block0 + 0), 1u);
  EXPECT_EQ(loadU32(b.block0 + 8), 0x20180284u);
  EXPECT_EQ(loadU32(b.block0 + 12), 0u);  // no frequency without tuning
  EXPECT_EQ(loadU32(b.block0 + 16), 0u);
  EXPECT_EQ(loadU32(b.block0 + 20), 1u);
  EXPECT_EQ(loadU32(b.block0 + 24), 20u);
  EXPECT_EQ(loadU32(b.block0 + 28), uint32_t(p.pingPeriod));
  EXPECT_EQ(loadU32(b.block0 + 32), 1376u);
  EXPECT_EQ(loadU32(b.block0 + 36), 100000u);
  EXPECT_EQ(loadU16(b.block0 + 50), 80u);
  EXPECT_EQ(loadU16(b.block1 + 6), 1u);
  EXPECT_EQ(loadU32(b.block1 + 8), uint32_t(p.pingPeriod));
}

TEST(SonarParams, SettingsBlobRoundTripsFieldByField) {
  SonarSettings s;
  s.rangeIndex = 9;
  s.pulseType = -1;
  s.bandwidth = 123456;
  uint8_t blob[kSonarSettingsBlobSize];
  storeSonarSettings(s, blob);
  EXPECT_EQ(loadI32(blob + 0), 1);
  EXPECT_EQ(loadI32(blob + 4), 9);
  EXPECT_EQ(loadU32(blob + 8), 0xFFFFFFFFu);
  EXPECT_EQ(loadI32(blob + 52), 80);
  EXPECT_EQ(loadI32(blob + 64), 860000);
  EXPECT_EQ(loadI32(blob + 68), 123456);
  const SonarSettings back = loadSonarSettings(blob);
  EXPECT_EQ(back.rangeIndex, 9);
  EXPECT_EQ(back.bandwidth, 123456);
  EXPECT_EQ(back.gainIndex, 5);
}

TEST(SonarParams, PingPeriodFollowsTheLinkRate) {
  EXPECT_EQ(pingPeriodFor(1, 1376, 115200), 131388);
  EXPECT_EQ(pingPeriodFor(1, 1376, 921600), 17852);  // the minimum
  EXPECT_EQ(pingPeriodFor(1, 448, 115200), 42776);   // the start value
  EXPECT_EQ(pingPeriodFor(0, 448, 0), 2000 + 404 * 11);
}

TEST(SonarParams, GainBits) {
  SonarSettings s;
  s.gainIndex = 0;  // +15
  uint32_t w = buildCommandWord(derived(s));
  EXPECT_EQ((w >> 15) & 15, 15u);
  EXPECT_EQ((w >> 19) & 1, 0u);
  s.gainIndex = 10;  // -15
  w = buildCommandWord(derived(s));
  EXPECT_EQ((w >> 15) & 15, 15u);
  EXPECT_EQ((w >> 19) & 1, 1u);
  s.gainIndex = 5;  // 0
  w = buildCommandWord(derived(s));
  EXPECT_EQ((w >> 15) & 15, 0u);
  EXPECT_EQ((w >> 19) & 1, 1u);
}

TEST(SonarParams, SectorWithHeadUpAndDown) {
  SonarSettings s;
  s.sectorEnabled = 1;
  s.sectorHeadingIndex = 1;  // 45 degrees
  s.sectorWidthIndex = 1;    // 90 degrees
  SonarParams up;
  up.headUp = 1;
  up = derived(s, 0, up);
  EXPECT_EQ(up.sectorHeading, 400);
  EXPECT_EQ(up.sectorWidth, 800);
  uint32_t w = buildCommandWord(up);
  EXPECT_EQ((w >> 24) & 7, 1u);
  EXPECT_EQ((w >> 27) & 3, 1u);
  EXPECT_EQ((w >> 29) & 1, 0u);
  EXPECT_EQ((w >> 4) & 1, 1u);
  const SonarParamBlocks b = buildParamBlocks(up, false, s.rangeIndex);
  EXPECT_EQ(loadU16(b.block1 + 0), 3600u);
  EXPECT_EQ(loadU16(b.block1 + 2), 7200u);

  const SonarParams down = derived(s);
  EXPECT_EQ(down.sectorHeading, 2800);
  EXPECT_EQ((buildCommandWord(down) >> 24) & 7, 1u);

  // Switching the sector off keeps the heading but clears the width.
  s.sectorEnabled = 7;
  const SonarParams off = derived(s, 0, down);
  EXPECT_EQ(off.sectorWidth, 0);
  EXPECT_EQ(off.sectorHeading, 2800);
  EXPECT_EQ((buildCommandWord(off) >> 29) & 1, 1u);
}

TEST(SonarParams, PulseModeTable) {
  SonarSettings s;
  s.rangeIndex = 3;  // 5 m
  EXPECT_EQ(pulseKind(derived(s).pulseMode), 0);
  s.rangeIndex = 4;  // 6 m
  EXPECT_EQ(pulseKind(derived(s).pulseMode), 1);
  s.rangeIndex = 10;  // 45 m
  EXPECT_EQ(pulseKind(derived(s).pulseMode), 2);
  EXPECT_EQ(pulseModeFor(kPulseAfm, 2, 0, 9), 5);
  EXPECT_EQ(pulseModeFor(kPulseFm, 0, 0, 9), 4);
  EXPECT_EQ(pulseModeFor(kPulseFm, 3, 0, 9), 9);
  EXPECT_EQ(pulseModeFor(7, 0, 0, 9), 9);
}

TEST(SonarParams, StopSpeedAndRangeDependentTvg) {
  SonarSettings s;
  s.stepIndex = 0;
  const SonarParams p = derived(s);
  EXPECT_EQ(p.step, 0);
  EXPECT_EQ((buildCommandWord(p) >> 20) & 15, 0u);
  EXPECT_EQ(p.pingPeriod, 2000 + (1376 - 44) * 11);
  EXPECT_EQ(loadU16(buildParamBlocks(p, false, 9).block0 + 50), 80u);
  EXPECT_EQ(loadU16(buildParamBlocks(p, false, 12).block0 + 50), 133u);
  EXPECT_EQ(loadU16(buildParamBlocks(p, false, 14).block0 + 50), 200u);
  SonarParams t = p;
  t.tvgSlope = 96;
  const SonarParamBlocks tuned = buildParamBlocks(t, true, 14);
  EXPECT_EQ(loadU16(tuned.block0 + 50), 96u);
  EXPECT_EQ(loadU32(tuned.block0 + 12), 860000u);
  // Damaged indices stay inside the tables.
  s.rangeIndex = 99;
  s.stepIndex = -4;
  EXPECT_EQ(derived(s).samples, 20000);
  EXPECT_EQ(loadU32(buildParamBlocks(p, false, -3).block0 + 32), 240u);
}

TEST(SonarParams, DialogDerivation) {
  SonarSettings s;
  SonarParams p;
  SonarDialogValues d;
  d.pulseType = kPulseCw;
  d.rangeIndex = 7;
  d.cwLengthIndex = 7;  // 100 us
  d.sectorEnabled = true;
  d.sectorHeadingIndex = 2;
  d.sectorWidthIndex = 3;
  d.rotationIndex = 1;
  d.headUp = true;
  d.tuningForm = true;
  d.centralFrequencyKhz = "7501";  // only three characters count
  d.bandwidthKhz = "090";
  d.tvgSlope = "1.5";
  applySonarDialog(s, p, d, 115200);
  EXPECT_EQ(p.pulseMode, 0);
  EXPECT_EQ(p.cwLength, 100);
  EXPECT_EQ(p.centralFrequency, 750000);
  EXPECT_EQ(s.centralFrequency, 750000);
  EXPECT_EQ(p.bandwidth, 90000);
  EXPECT_EQ(p.tvgSlope, 120);
  EXPECT_EQ(s.tvgSlope, 120);
  EXPECT_EQ(p.samples, 2048);
  EXPECT_EQ(p.sectorHeading, 2400);  // orientation before the dialog: head down
  EXPECT_EQ(p.sectorWidth, 1600);
  EXPECT_EQ(p.headUp, 1);
  EXPECT_EQ(s.headUp, 1);
  EXPECT_EQ(p.reverse, 0);  // head up and counter-clockwise cancel out

  d.tuningForm = false;
  d.centralFrequencyKhz = "100";
  d.headUp = false;
  d.sectorEnabled = false;
  applySonarDialog(s, p, d, 115200);
  EXPECT_EQ(p.centralFrequency, 750000);
  EXPECT_EQ(p.sectorWidth, 0);
  EXPECT_EQ(p.reverse, 1);

  // Texts that do not begin with a number leave their values alone.
  d.tuningForm = true;
  d.centralFrequencyKhz = "";
  d.bandwidthKhz = "k90";
  d.tvgSlope = "-.";
  applySonarDialog(s, p, d, 115200);
  EXPECT_EQ(s.centralFrequency, 750000);
  EXPECT_EQ(p.bandwidth, 90000);
  EXPECT_EQ(s.tvgSlope, 120);
}

}  // namespace
}  // namespace sk720
