// The head's parameters as derived, sent and stored; and the table of COM ports offered for it.
#include "link/sonar_params.h"

#include <gtest/gtest.h>

#include <cstring>

#include "base/byte_order.h"
#include "link/com_port.h"

namespace sk720 {
namespace {

using V = std::vector<int64_t>;

SonarParams derived(SonarSettings s, int32_t baud = 0, SonarParams p = {}) {
  deriveSonarParams(s, p, baud);
  return p;
}

// The command word's fields: pulse kind 2..3, head up 4, CW length 5..14, gain magnitude 15..18,
// gain not positive 19, step code 20..23, sector heading 24..26, width 27..28, no sector 29.
TEST(SonarParams, DerivationAndCommandWord) {
  const SonarSettings sector{.sectorEnabled = 1, .sectorHeadingIndex = 1, .sectorWidthIndex = 1};
  SonarSettings wide = sector, damaged = sector;
  wide.sectorWidthIndex = 3;
  damaged.rangeIndex = 99, damaged.sectorHeadingIndex = 9, damaged.sectorWidthIndex = -2;
  damaged.stepIndex = -4, damaged.gainIndex = 40;
  // what, settings, head up before; command word, samples, ping period, sector heading and width
  const std::tuple<const char*, SonarSettings, bool, V> rows[] = {
      {"defaults", {}, false, {0x20180284, 1376, 17852, 0, 0}},
      {"gain +15", {.gainIndex = 0}, false, {0x20178284, 1376, 17852, 0, 0}},
      {"gain -15", {.gainIndex = 10}, false, {0x201F8284, 1376, 17852, 0, 0}},
      {"stop, 5 m: CW", {.rangeIndex = 3, .stepIndex = 0}, false, {0x20080280, 704, 9260, 0, 0}},
      {"45 m: FM", {.rangeIndex = 10, .stepIndex = 5}, false, {0x20580288, 6048, 87244, 0, 0}},
      {"sector 45/90 up", sector, true, {0x09180294, 1376, 17852, 400, 800}},
      {"sector 45/180 down", wide, false, {0x19180284, 1376, 17852, 2800, 1600}},
      {"damaged indices", damaged, false, {0x070F8288, 20000, 221516, 400, 400}},
  };
  for (const auto& [what, settings, headUp, want] : rows) {
    const SonarParams p = derived(settings, 0, {.headUp = headUp});
    EXPECT_EQ(V({buildCommandWord(p), p.samples, p.pingPeriod, p.sectorHeading, p.sectorWidth}),
              want)
        << what;
  }
  // Switching the sector off keeps the heading but clears the width.
  const SonarParams off = derived({.sectorEnabled = 7}, 0, derived(wide));
  EXPECT_EQ(std::make_pair(off.sectorHeading, off.sectorWidth), std::make_pair(2800, 0));
  EXPECT_EQ(buildCommandWord(off) >> 29, 1u);

  // Periods follow the link rate down to the minimum; pulse modes follow type and variant.
  EXPECT_EQ(V({pingPeriodFor(1, 1376, 115200), pingPeriodFor(1, 1376, 921600),
               pingPeriodFor(1, 448, 115200), pingPeriodFor(0, 448, 0)}),
            V({131388, 17852, 42776, 6444}));
  const int32_t modes[][3] = {{kPulseAfm, 2, 5}, {kPulseAfm, 0, 3}, {kPulseFm, 0, 4},
                              {kPulseFm, 2, 6},  {kPulseFm, 3, 9},  {kPulseAfm, -1, 9},
                              {7, 0, 9},         {kPulseCw, 2, 0}};
  for (auto [type, variant, mode] : modes) EXPECT_EQ(pulseModeFor(type, variant, 9, 9), mode);
  const int32_t autoModes[][2] = {{3, 0}, {4, 1}, {9, 1}, {10, 2}};  // CW, AFM, FM by range
  for (auto [range, mode] : autoModes) EXPECT_EQ(pulseModeFor(kPulseAuto, 0, range, 9), mode);
  for (int32_t i : {-1, 8}) EXPECT_EQ(sectorHeadingAt(i, true) + sectorHeadingAt(i, false), 0);
  EXPECT_EQ(gainDbAt(11), 0);
}

TEST(SonarParams, BlocksAndStoredSettingsLayout) {
  const SonarParams p = derived({});
  const SonarParamBlocks b = buildParamBlocks(p, false, 6);
  const uint32_t words0[][2] = {{0, 1},     {4, 0},       {8, 0x20180284}, {12, 0},
                                {16, 0},    {20, 1},      {24, 20},        {28, 17852},
                                {32, 1376}, {36, 100000}, {52, 0}};
  for (auto [at, value] : words0) EXPECT_EQ(loadU32(b.block0 + at), value) << at;
  EXPECT_EQ(V({loadU16(b.block0 + 50), loadU16(b.block1 + 6), loadU32(b.block1 + 8)}),
            V({80, 1, 17852}));
  SonarParams sector =
      derived({.sectorEnabled = 1, .sectorHeadingIndex = 1, .sectorWidthIndex = 1});
  sector.reverse = 1;
  const SonarParamBlocks s = buildParamBlocks(sector, false, 6);
  EXPECT_EQ(V({loadU16(s.block1), loadU16(s.block1 + 2), loadU16(s.block1 + 4)}),
            V({2800 * 9, 800 * 9, 1}));
  // The slope by range unless tuned; a tuned head also gets frequency and bandwidth.
  const std::pair<int32_t, uint16_t> tvg[] = {{9, 80}, {12, 133}, {13, 160}, {14, 200}, {-3, 80}};
  for (auto [range, slope] : tvg)
    EXPECT_EQ(loadU16(buildParamBlocks(p, false, range).block0 + 50), slope);
  EXPECT_EQ(loadU32(buildParamBlocks(p, false, -3).block0 + 32), 240u);
  SonarParams t = p;
  t.tvgSlope = 96, t.bandwidth = 90000, t.gainDb = -6;
  const SonarParamBlocks tuned = buildParamBlocks(t, true, 14);
  EXPECT_EQ(V({loadU16(tuned.block0 + 50), loadU32(tuned.block0 + 12), loadU32(tuned.block0 + 16)}),
            V({96, 860000, 90000}));
  EXPECT_EQ(loadF32(tuned.block0 + 40), -6.0f);

  // Stored settings: 18 little-endian words in field order, read and written whole and nothing
  // written past them.
  uint8_t blob[kSonarSettingsBlobSize], again[kSonarSettingsBlobSize + 4];
  for (size_t i = 0; i < 18; ++i) storeI32(blob + 4 * i, int32_t(100 + i));
  const SonarSettings stored = loadSonarSettings(blob);
  EXPECT_EQ(V({stored.formatTag, stored.rangeIndex, stored.pulseType, stored.gainIndex,
               stored.tvgSlope, stored.headUp, stored.centralFrequency, stored.bandwidth}),
            V({100, 101, 102, 110, 113, 115, 116, 117}));
  std::memset(again, 0xAA, sizeof again);
  storeSonarSettings(stored, again);
  EXPECT_EQ(std::memcmp(blob, again, sizeof blob), 0);
  EXPECT_EQ(loadU32(again + kSonarSettingsBlobSize), 0xAAAAAAAAu);
}

TEST(SonarParams, DialogDerivation) {
  SonarSettings s;
  SonarParams p;
  // A CW pulse of 100 us; of "7501" only three characters count.
  SonarDialogValues d{.pulseType = kPulseCw, .rangeIndex = 7, .cwLengthIndex = 7};
  d.sectorHeadingIndex = 2, d.sectorWidthIndex = 3, d.rotationIndex = 1;
  d.sectorEnabled = d.headUp = d.tuningForm = true;
  d.centralFrequencyKhz = "7501", d.bandwidthKhz = "090", d.tvgSlope = "1.5";
  applySonarDialog(s, p, d, 115200);
  const std::vector<int32_t> got = {
      p.pulseMode, p.cwLength, p.centralFrequency, s.centralFrequency, p.bandwidth,
      p.tvgSlope,  s.tvgSlope, p.samples,          p.sectorHeading,    p.sectorWidth,
      p.headUp,    s.headUp,   p.reverse};
  // The sector heading is the orientation's before the dialog (head down); head up and
  // counter-clockwise cancel out.
  EXPECT_EQ(got, (std::vector<int32_t>{0, 100, 750000, 750000, 90000, 120, 120, 2048, 2400, 1600, 1,
                                       1, 0}));

  d.tuningForm = d.headUp = d.sectorEnabled = false;
  d.centralFrequencyKhz = "100";
  applySonarDialog(s, p, d, 115200);
  EXPECT_EQ(V({p.centralFrequency, p.sectorWidth, p.reverse}), V({750000, 0, 1}));
  d.rotationIndex = d.cwLengthIndex = 0;
  applySonarDialog(s, p, d, 115200);
  EXPECT_EQ(std::make_pair(p.reverse, p.cwLength), std::make_pair(0, 10));

  // Texts that do not begin with a number leave their values alone.
  d.tuningForm = true;
  d.centralFrequencyKhz = "", d.bandwidthKhz = "k90", d.tvgSlope = "-.";
  applySonarDialog(s, p, d, 115200);
  EXPECT_EQ(std::make_tuple(s.centralFrequency, p.bandwidth, s.tvgSlope),
            std::make_tuple(750000, 90000, 120));
}

TEST(ComPortTable, NamesNumbersAndOrder) {
  // The views end before characters that follow in memory: those must not be read.
  const std::pair<std::u16string_view, uint32_t> numbers[] = {
      {u"com12", 12},         {u"COM9", 9},
      {u"COMX", 0},  // listed with 0, which ends the table
      {u"COM7x3", 7},         {std::u16string_view(u"COM123", 5), 12},
      {u"COM99999999999", 0}, {u"COM1000000000", 1000000000}};
  for (auto [text, n] : numbers) EXPECT_EQ(comPortNumberFromText(text), n);
  EXPECT_TRUE(isComPortText(u"cOm"));
  EXPECT_FALSE(isComPortText(u"CO"));
  EXPECT_FALSE(isComPortText(u"LPT1"));

  ComPortEntry table[kComPortTableSize] = {};
  const uint32_t listed[] = {12, 3, 7};
  for (int i = 0; i < 3; ++i) setComPortName(table[i], "COM" + std::to_string(listed[i]));
  for (int i = 0; i < 3; ++i) table[i].portNumber = listed[i];
  table[4].portNumber = 1;  // after the end marker: not sorted in
  sortComPorts(table);
  EXPECT_EQ(comPortNameUtf8(table[0]) + comPortNameUtf8(table[1]) + comPortNameUtf8(table[2]),
            "COM3COM7COM12");
  EXPECT_EQ(table[4].portNumber, 1u);
  setComPortName(table[0], std::string(300, 'x'));
  EXPECT_EQ(comPortNameUtf8(table[0]), std::string(255, 'x'));
  setComPortName(table[0], std::u16string_view(u"\u0416a"));
  EXPECT_EQ(comPortNameUtf8(table[0]), "?a");
}

}  // namespace
}  // namespace sk720
