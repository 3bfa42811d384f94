#include "scan/overlay_texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "link/sonar_params.h"
#include "scan/nav_format.h"
#include "scan/screenshot_rules.h"

namespace sk720 {
namespace {

const double kPi = std::acos(-1.0);

std::string joined(const InfoStripTexts& t) {
  return t.pulse + "|" + t.step + "|" + t.gain + "|" + t.id + "|" + t.sector;
}

TEST(InfoStrip, ParameterLinesFromCommandWords) {
  // pulse mode, CW length, gain dB, step, head up, sector heading, sector width
  const int32_t params[][7] = {{0, 100, 0, 1, 0, 0, 0},
                               {1, 100, 12, 16, 1, 1200, 1600},
                               {4, 100, -9, 4, 0, 400, 400},
                               {0, 300, 1, 2, 1, 400, 400},
                               {0, 100, 0, 8, 0, 0, 0}};
  const DeviceLine devices[] = {{7, false, 0, 0}, {4000000000u, true, 860000, 80000}, {}, {}, {}};
  const char* lines[] = {
      "Pulse: CW, 100 \u00B5s|Step angle: 0.1125\u00B0|Gain: -0.0 dB|ID: 7 Head: Down|Sector "
      "mode: off",
      "Pulse: AFM, 512 \u00B5s|Step angle: 1.8\u00B0|Gain: +12.0 dB|ID: 4000000000 "
      "860000/80000Hz Head: Up|Sector mode: 135\u00B0/180\u00B0",
      // Mounted down, the sector list is mirrored.
      "Pulse: FM, 512 \u00B5s|Step angle: 0.45\u00B0|Gain: -9.0 dB|ID: 0 Head: Down|Sector "
      "mode: 315\u00B0/45\u00B0",
      "Pulse: CW, 300 \u00B5s|Step angle: 0.225\u00B0|Gain: +1.0 dB|ID: 0 Head: Up|Sector "
      "mode: 45\u00B0/45\u00B0",
      "Pulse: CW, 100 \u00B5s|Step angle: 0.9\u00B0|Gain: -0.0 dB|ID: 0 Head: Down|Sector "
      "mode: off"};
  for (int i = 0; i < 5; ++i) {
    SonarParams p;
    const int32_t* v = params[i];
    std::tie(p.pulseMode, p.cwLength, p.gainDb, p.step, p.headUp, p.sectorHeading, p.sectorWidth) =
        std::make_tuple(v[0], v[1], v[2], v[3], v[4], v[5], v[6]);
    InfoStripTexts t;
    formatParameterLines(buildCommandWord(p), devices[i], t);
    EXPECT_EQ(joined(t), lines[i]);
  }
  InfoStripTexts t;
  formatParameterLines(15u << 20, {}, t);  // no head sends it; it must not index past the list
  EXPECT_EQ(t.step, "Step angle: ?\u00B0");
}

// The cursor's bearing is clockwise from north: the direction on the screen (counter-clockwise
// from up) taken back, plus the heading when the picture is north up.
TEST(InfoStrip, GpsAndCursorLines) {
  const float nan = std::nanf("");
  const std::pair<GpsSnapshot, const char*> gpsLines[] = {
      {{0.6f, -0.6f, 1.5f, 1, 3},
       "GPS(3D):  34\u00B0 22.6481\u2032 N,  34\u00B0 22.6481\u2032 W, PDOP:  1.5 (Excellent)"},
      {{0.0f, 0.0f, 0.0f, 2, 2},
       "GPS(2D):   0\u00B0 00.0000\u2032 S,   0\u00B0 00.0000\u2032 W, PDOP:  0.0 (N/A)"},
      {{nan, 2.0f, nan, 1, 1}, "GPS(N/A): N/A S, 114\u00B0 35.4932\u2032 E, PDOP:  nan (Poor)"},
      {{0.6f, 0.6f, 1.0f, 0, 3}, "GPS: N/A"}};
  std::string line;
  for (const auto& [gps, want] : gpsLines) {
    formatGpsLine(gps, line);
    EXPECT_EQ(line, want);
  }
  // direction on the screen in turns, heading, bearing in degrees
  const float cases[][3] = {{0, 0, 0},      {0.25f, 0, 270},         {0.5f, 0, 180},
                            {0.75f, 0, 90}, {0, float(kPi / 2), 90}, {0.25f, float(kPi), 90}};
  for (const auto& [angleFraction, heading, bearing] : cases) {
    formatCursorLine({0.1f, 0.2f, 1.0f, 1, 3}, angleFraction, 20000.0f, heading, line);
    const GeoPoint p = DestinationPoint(0.1f, 0.2f, float(bearing * kPi / 180), 20000.0f);
    EXPECT_EQ(line, "Cursor: " + FormatCoordinate(p.lat) + " N, " + FormatCoordinate(p.lon) + " E")
        << angleFraction << " " << heading;
  }
  formatCursorLine({0.6f, 0.6f, 1.0f, 1, 3}, 0.25f, -1.0f, 1e30f, line);  // the centre stays put
  EXPECT_EQ(line, "Cursor:  34\u00B0 22.6481\u2032 N,  34\u00B0 22.6481\u2032 E");
}

TEST(NavHelpers, CoordinatesPdopAndDestinations) {
  EXPECT_EQ(FormatCoordinate(0.6f) + FormatCoordinate(-0.6f) + FormatCoordinate(3.1f),
            " 34\u00B0 22.6481\u2032 34\u00B0 22.6481\u2032177\u00B0 37.0148\u2032");
  EXPECT_EQ(std::string(latitudeLetter(-0.6f)) + latitudeLetter(0.0f) + latitudeLetter(0.1f) +
                longitudeLetter(0.0f) + longitudeLetter(0.1f),
            "SSNWE");
  for (float bad : {std::nanf(""), INFINITY, -INFINITY, 3.2f, -1e30f})
    EXPECT_EQ(FormatCoordinate(bad), "N/A") << bad;
  std::string classes;
  for (float pdop :
       {0.0f, 0.99f, 1.0f, 1.99f, 2.0f, 4.99f, 5.0f, 9.99f, 10.0f, 19.99f, 20.0f, std::nanf("")})
    classes += std::string(pdopClassName(ClassifyPdop(pdop))) + ",";
  EXPECT_EQ(
      classes + pdopClassName(-1) + pdopClassName(7),
      "N/A,Ideal,Excellent,Excellent,Good,Good,Moderate,Moderate,Fair,Fair,Poor,Poor,PoorPoor");
  // The great circle computed independently in double precision: latitude, longitude, bearing,
  // metres.
  const double trips[][4] = {{0.5, -1.0, 1.0, 100000},
                             {-0.9, 2.5, 4.0, 30000},
                             {0.0, 0.0, kPi / 2, 55600},
                             {1.2, 3.0, 0.3, 2000000},
                             {0.5, -1.0, 1.0, -500}};
  for (const auto& [lat, lon, bearing, metres] : trips) {
    const double d = std::max(metres, 0.0) / 6371000.0;
    const double lat2 =
        std::asin(std::sin(lat) * std::cos(d) + std::cos(lat) * std::sin(d) * std::cos(bearing));
    const double lon2 = lon + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat),
                                         std::cos(d) - std::sin(lat) * std::sin(lat2));
    const GeoPoint p = DestinationPoint(float(lat), float(lon), float(bearing), float(metres));
    EXPECT_NEAR(p.lat, lat2, 2e-6) << lat << " " << bearing;
    EXPECT_NEAR(p.lon, lon2, 2e-6) << lat << " " << bearing;
  }
  // The pole and the date line are still positions.
  EXPECT_FALSE(std::isnan(DestinationPoint(float(kPi / 2), float(kPi), 0.0f, 100.0f).lat));
  for (float bad : {std::nanf(""), INFINITY, 1.6f}) {
    EXPECT_TRUE(std::isnan(DestinationPoint(bad, 0.0f, 0.0f, 10.0f).lat));
    EXPECT_TRUE(std::isnan(DestinationPoint(0.0f, bad * 2, 0.0f, 10.0f).lon));
  }
}

// 259 UTF-16 units and the terminator fit a path; one more does not.
TEST(ScreenshotRules, OrderNamesAndPaths) {
  int32_t manual = 1, automatic = 1;
  EXPECT_EQ(takeScreenshotRequest(manual, automatic), ScreenshotKind::Automatic);
  EXPECT_EQ(manual, 1);
  EXPECT_EQ(takeScreenshotRequest(manual, automatic), ScreenshotKind::Manual);
  EXPECT_EQ(takeScreenshotRequest(manual, automatic), std::nullopt);
  EXPECT_EQ(manual + automatic, 0);
  const std::string name = screenshotFileName(ScreenshotKind::Manual, "20190902_143015");
  EXPECT_EQ(name + screenshotFileName(ScreenshotKind::Automatic, "20190902_143015"),
            "screenshot_rez720_20190902_143015.pngautoscreenshot_rez720_20190902_143015.png");
  const std::string folder(259 - 1 - name.size(), 'a');
  std::string korean;
  for (size_t i = 0; i < folder.size(); ++i) korean += "\uD55C";
  const std::tuple<std::string, bool, std::string> paths[] = {
      {"C:\\Data", true, "C:\\Data\\" + name}, {"C:\\", true, "C:\\" + name},
      {folder, true, folder + "\\" + name},    {folder + "a", false, ""},
      {korean, true, korean + "\\" + name},    {korean + "\uD55C", false, ""}};
  for (const auto& [in, fits, want] : paths) {
    std::string path = "x";
    EXPECT_EQ(screenshotPath(in, name, path), fits) << in;
    EXPECT_EQ(path, want);
  }
  EXPECT_EQ(screenshotNoticeText({true, ScreenshotFailure::None, ""}) + "/" +
                screenshotNoticeText({false, ScreenshotFailure::PathTooLong, ""}) + "/" +
                screenshotNoticeText({false, ScreenshotFailure::NoEncoder, ""}),
            "Screenshot saved/Screenshot not saved: path too long/Screenshot not saved: no PNG "
            "encoder");
}

}  // namespace
}  // namespace sk720
