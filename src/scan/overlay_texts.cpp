#include "scan/overlay_texts.h"

#include <cmath>
#include <cstdio>

#include "scan/nav_format.h"

namespace sk720 {

namespace {

template <typename... A>
void printInto(std::string& out, const char* format, A... args) {
  char buf[320];
  std::snprintf(buf, sizeof buf, format, args...);
  out.assign(buf);
}

// Step codes 6..15 never come from the head's parameter block; they show as
// unknown.
const char* stepText(uint32_t code) {
  static const char* const kSteps[] = {"0.1125", "0.1125", "0.225", "0.45", "0.9", "1.8"};
  return code < 6 ? kSteps[code] : "?";
}

}  // namespace

void formatParameterLines(uint32_t word, const DeviceLine& device, InfoStripTexts& out) {
  const char* pulse = "CW";
  int32_t length = int32_t((word >> 5) & 0x3FF);
  if (word & (1u << 2)) {
    pulse = "AFM";
    length = 512;
  } else if (word & (1u << 3)) {
    pulse = "FM";
    length = 512;
  }
  printInto(out.pulse, "Pulse: %s, %i \u00B5s", pulse, length);
  printInto(out.step, "Step angle: %s\u00B0", stepText((word >> 20) & 15));
  printInto(out.gain, "Gain: %s%d.0 dB", (word & (1u << 19)) ? "-" : "+",
            int32_t((word >> 15) & 15));

  const char* head = (word & (1u << 4)) ? "Up" : "Down";
  if (device.tunable) {
    printInto(out.id, "ID: %u %d/%dHz Head: %s", device.deviceId, device.centralFrequency,
              device.bandwidth, head);
  } else {
    printInto(out.id, "ID: %u Head: %s", device.deviceId, head);
  }

  if (word & (1u << 29)) {
    out.sector.assign("Sector mode: off");
  } else {
    static const char* const kHeadings[] = {"0", "45", "90", "135", "180", "225", "270", "315"};
    static const char* const kWidths[] = {"45", "90", "135", "180"};
    printInto(out.sector, "Sector mode: %s\u00B0/%s\u00B0", kHeadings[(word >> 24) & 7],
              kWidths[(word >> 27) & 3]);
  }
}

void formatGpsLine(const GpsSnapshot& gps, std::string& out) {
  if (gps.sig == 0) {
    out.assign("GPS: N/A");
    return;
  }
  const char* fix = gps.fix == 1 ? "N/A" : gps.fix == 2 ? "2D" : "3D";
  std::string lat, lon;
  lat.reserve(32);
  lon.reserve(32);
  FormatCoordinate(isLatitude(gps.lat) ? gps.lat : std::nanf(""), lat);
  FormatCoordinate(gps.lon, lon);
  printInto(out, "GPS(%s): %s %s, %s %s, PDOP: %4.1f (%s)", fix, lat.c_str(),
            latitudeLetter(gps.lat), lon.c_str(), longitudeLetter(gps.lon), double(gps.pdop),
            pdopClassName(ClassifyPdop(gps.pdop)));
}

void formatCursorLine(const GpsSnapshot& gps, float angleFraction, float rangeMetres,
                      float headingRadians, std::string& out) {
  const float pi = std::acos(-1.0f);
  float b = 360.0f - angleFraction * 360.0f + headingRadians * 180.0f / pi;
  // One subtraction per turn would spin on a damaged heading; the remainder is
  // the same.
  if (b > 360.0f) b = std::fmod(b, 360.0f) == 0.0f ? 360.0f : std::fmod(b, 360.0f);
  const GeoPoint p = DestinationPoint(gps.lat, gps.lon, b * pi / 180.0f, rangeMetres);
  std::string lat, lon;
  FormatCoordinate(p.lat, lat);
  FormatCoordinate(p.lon, lon);
  printInto(out, "Cursor: %s %s, %s %s", lat.c_str(), latitudeLetter(p.lat), lon.c_str(),
            longitudeLetter(p.lon));
}

}  // namespace sk720
