#include "scan/overlay_texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "link/sonar_params.h"
#include "scan/nav_format.h"
#include "scan/screenshot_rules.h"

namespace sk720 {
namespace {

InfoStripTexts linesOf(const SonarParams& p, DeviceLine device = {}) {
  InfoStripTexts t;
  formatParameterLines(buildCommandWord(p), device, t);
  return t;
}

TEST(InfoStrip, ParameterLinesFromCommandWords) {
  SonarParams p;
  p.pulseMode = 0;
  p.cwLength = 100;
  p.gainDb = 0;
  p.step = 1;
  p.sectorWidth = 0;
  InfoStripTexts t = linesOf(p, {7, false, 0, 0});
  EXPECT_EQ(t.pulse, "Pulse: CW, 100 \u00B5s");
  EXPECT_EQ(t.step, "Step angle: 0.1125\u00B0");
  EXPECT_EQ(t.gain, "Gain: -0.0 dB");  // 0 dB travels with the minus sign
  EXPECT_EQ(t.id, "ID: 7 Head: Down");
  EXPECT_EQ(t.sector, "Sector mode: off");

  p.pulseMode = 1;
  p.gainDb = 12;
  p.step = 16;
  p.headUp = 1;
  p.sectorHeading = 1200;
  p.sectorWidth = 1600;
  t = linesOf(p, {4000000000u, true, 860000, 80000});
  EXPECT_EQ(t.pulse, "Pulse: AFM, 512 \u00B5s");
  EXPECT_EQ(t.step, "Step angle: 1.8\u00B0");
  EXPECT_EQ(t.gain, "Gain: +12.0 dB");
  EXPECT_EQ(t.id, "ID: 4000000000 860000/80000Hz Head: Up");
  EXPECT_EQ(t.sector, "Sector mode: 135\u00B0/180\u00B0");

  p.pulseMode = 4;
  p.gainDb = -9;
  p.step = 4;
  p.headUp = 0;
  p.sectorHeading = 400;  // mounted down: the list is mirrored
  p.sectorWidth = 400;
  t = linesOf(p);
  EXPECT_EQ(t.pulse, "Pulse: FM, 512 \u00B5s");
  EXPECT_EQ(t.step, "Step angle: 0.45\u00B0");
  EXPECT_EQ(t.gain, "Gain: -9.0 dB");
  EXPECT_EQ(t.sector, "Sector mode: 315\u00B0/45\u00B0");
  for (int32_t step : {0, 2, 8}) {
    p.step = step;
    EXPECT_EQ(linesOf(p).step, std::string("Step angle: ") +
                                   (step == 0   ? "0.1125"
                                    : step == 2 ? "0.225"
                                                : "0.9") +
                                   "\u00B0");
  }
  formatParameterLines(15u << 20, {},
                       t);  // no head sends it; it must not index past the list
  EXPECT_EQ(t.step, "Step angle: ?\u00B0");
}

TEST(InfoStrip, GpsAndCursorLines) {
  std::string line;
  formatGpsLine({0.6f, -0.6f, 1.5f, 1, 3}, line);
  EXPECT_EQ(line,
            "GPS(3D):  34\u00B0 22.6481\u2032 N,  34\u00B0 22.6481\u2032 "
            "W, PDOP:  1.5 (Excellent)");
  formatGpsLine({0.0f, 0.0f, 0.0f, 2, 2}, line);
  EXPECT_EQ(line,
            "GPS(2D):   0\u00B0 00.0000\u2032 S,   0\u00B0 00.0000\u2032 "
            "W, PDOP:  0.0 (N/A)");
  formatGpsLine({std::nanf(""), 2.0f, std::nanf(""), 1, 1}, line);
  EXPECT_EQ(line, "GPS(N/A): N/A S, 114\u00B0 35.4932\u2032 E, PDOP:  nan (Poor)");
  formatGpsLine({0.6f, 0.6f, 1.0f, 0, 3}, line);
  EXPECT_EQ(line, "GPS: N/A");

  // Straight up on the screen with heading 0 is north; the centre pixel (-1 m)
  // stays put.
  formatCursorLine({0.0f, 0.0f, 1.0f, 1, 3}, 0.0f, 1852.0f * 60.0f, 0.0f, line);
  EXPECT_EQ(line.rfind("Cursor:   0\u00B0 59.9", 0), 0u) << line;
  EXPECT_NE(line.find(" N,   0\u00B0 00.0000\u2032 "), std::string::npos) << line;
  formatCursorLine({0.6f, 0.6f, 1.0f, 1, 3}, 0.25f, -1.0f, 1e30f, line);
  EXPECT_EQ(line, "Cursor:  34\u00B0 22.6481\u2032 N,  34\u00B0 22.6481\u2032 E");
}

TEST(NavHelpers, EdgeValues) {
  EXPECT_EQ(FormatCoordinate(0.6f), " 34\u00B0 22.6481\u2032");
  EXPECT_EQ(FormatCoordinate(-0.6f), FormatCoordinate(0.6f));
  EXPECT_STREQ(latitudeLetter(-0.6f), "S");
  EXPECT_STREQ(latitudeLetter(0.0f), "S");
  EXPECT_STREQ(longitudeLetter(0.0f), "W");
  for (float bad : {std::nanf(""), INFINITY, -INFINITY, 3.2f, -1e30f}) {
    EXPECT_EQ(FormatCoordinate(bad), "N/A") << bad;
  }

  const struct {
    float pdop;
    const char* name;
  } classes[] = {{0.0f, "N/A"},   {0.99f, "Ideal"}, {1.0f, "Excellent"}, {1.99f, "Excellent"},
                 {2.0f, "Good"},  {4.99f, "Good"},  {5.0f, "Moderate"},  {9.99f, "Moderate"},
                 {10.0f, "Fair"}, {19.99f, "Fair"}, {20.0f, "Poor"},     {std::nanf(""), "Poor"}};
  for (const auto& c : classes) EXPECT_STREQ(pdopClassName(ClassifyPdop(c.pdop)), c.name) << c.pdop;
  EXPECT_STREQ(pdopClassName(-1), "Poor");
  EXPECT_STREQ(pdopClassName(7), "Poor");

  // A quarter of a degree east along the equator; a negative distance stays at
  // the start.
  const float pi = std::acos(-1.0f);
  GeoPoint p = DestinationPoint(0.0f, 0.0f, pi / 2, 6371000.0f * pi / 720);
  EXPECT_NEAR(p.lat, 0.0f, 1e-6);
  EXPECT_NEAR(p.lon, pi / 720, 1e-6);
  p = DestinationPoint(0.5f, -1.0f, 1.0f, -500.0f);
  EXPECT_FLOAT_EQ(p.lat, 0.5f);
  EXPECT_FLOAT_EQ(p.lon, -1.0f);
  p = DestinationPoint(pi / 2, 0.0f, 0.0f,
                       100.0f);  // at the pole: no NaN from asin
  EXPECT_FALSE(std::isnan(p.lat));
  for (float bad : {std::nanf(""), INFINITY, 1.6f}) {
    EXPECT_TRUE(std::isnan(DestinationPoint(bad, 0.0f, 0.0f, 10.0f).lat));
    EXPECT_TRUE(std::isnan(DestinationPoint(0.0f, bad * 2, 0.0f, 10.0f).lon));
  }
}

TEST(ScreenshotRules, OrderNamesAndPaths) {
  int32_t manual = 1, automatic = 1;
  EXPECT_EQ(takeScreenshotRequest(manual, automatic), ScreenshotKind::Automatic);
  EXPECT_EQ(manual, 1);
  EXPECT_EQ(takeScreenshotRequest(manual, automatic), ScreenshotKind::Manual);
  EXPECT_EQ(takeScreenshotRequest(manual, automatic), std::nullopt);
  EXPECT_EQ(manual + automatic, 0);

  const std::string name = screenshotFileName(ScreenshotKind::Manual, "20190902_143015");
  EXPECT_EQ(name, "screenshot_rez720_20190902_143015.png");
  EXPECT_EQ(screenshotFileName(ScreenshotKind::Automatic, "20190902_143015"),
            "autoscreenshot_rez720_20190902_143015.png");
  std::string path;
  ASSERT_TRUE(screenshotPath("C:\\Data", name, path));
  EXPECT_EQ(path, "C:\\Data\\screenshot_rez720_20190902_143015.png");
  ASSERT_TRUE(screenshotPath("C:\\", name, path));
  EXPECT_EQ(path, "C:\\screenshot_rez720_20190902_143015.png");

  // 259 units and the terminator fit; one more does not. A non-ASCII folder is
  // counted in UTF-16 units, not bytes.
  const std::string folder(259 - 1 - name.size(), 'a');
  EXPECT_TRUE(screenshotPath(folder, name, path));
  EXPECT_EQ(path.size(), 259u);
  EXPECT_FALSE(screenshotPath(folder + "a", name, path));
  EXPECT_TRUE(path.empty());
  std::string korean;
  for (size_t i = 0; i < folder.size(); ++i) korean += "\uD55C";
  EXPECT_TRUE(screenshotPath(korean, name, path));
  EXPECT_FALSE(screenshotPath(std::string(300, 'x'), name, path));

  EXPECT_EQ(screenshotNoticeText({true, ScreenshotFailure::None, path}), "Screenshot saved");
  EXPECT_EQ(screenshotNoticeText({false, ScreenshotFailure::PathTooLong, ""}),
            "Screenshot not saved: path too long");
  EXPECT_EQ(screenshotNoticeText({false, ScreenshotFailure::NoEncoder, ""}),
            "Screenshot not saved: no PNG encoder");
}

}  // namespace
}  // namespace sk720
