#include "scan/nav_format.h"

#include <cmath>
#include <cstdio>

namespace sk720 {

namespace {

const float kPi = std::acos(-1.0f);
constexpr float kEarthRadius = 6371000.0f;

bool isLongitude(float lon) { return std::isfinite(lon) && std::fabs(lon) <= kPi; }

}  // namespace

bool isLatitude(float lat) { return std::isfinite(lat) && std::fabs(lat) <= kPi / 2.0f; }

void FormatCoordinate(float radians, std::string& out) {
  const float g = radians * 180.0f / kPi;
  const float a = std::fabs(g);
  // Beyond half a turn nothing is a coordinate; it also keeps the conversion to
  // int defined.
  if (!(a <= 180.0f)) {
    out.assign("N/A");
    return;
  }
  const int32_t n = int32_t(a);
  const float m = (a - float(n)) * 60.0f;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%3d\u00B0 %07.4f\u2032", n, double(m));
  out.assign(buf);
}

std::string FormatCoordinate(float radians) {
  std::string s;
  FormatCoordinate(radians, s);
  return s;
}

GeoPoint DestinationPoint(float lat, float lon, float bearing, float distanceMetres) {
  if (!isLatitude(lat) || !isLongitude(lon)) {
    return {std::nanf(""), std::nanf("")};
  }
  if (!(distanceMetres > 0.0f)) distanceMetres = 0.0f;
  if (!std::isfinite(bearing)) bearing = 0.0f;
  const float d = distanceMetres / kEarthRadius;
  float s = std::sin(lat) * std::cos(d) + std::cos(lat) * std::sin(d) * std::cos(bearing);
  // Rounding may step just past ±1, where asin has no value.
  if (s > 1.0f) s = 1.0f;
  if (s < -1.0f) s = -1.0f;
  GeoPoint p;
  p.lat = std::asin(s);
  p.lon = lon + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(lat),
                           std::cos(d) - std::sin(lat) * std::sin(p.lat));
  return p;
}

int32_t ClassifyPdop(float pdop) {
  if (pdop == 0.0f) return 0;
  if (pdop < 1.0f) return 1;
  if (pdop < 2.0f) return 2;
  if (pdop < 5.0f) return 3;
  if (pdop < 10.0f) return 4;
  if (pdop < 20.0f) return 5;
  return 6;
}

const char* pdopClassName(int32_t c) {
  static const char* const kNames[] = {"N/A",      "Ideal", "Excellent", "Good",
                                       "Moderate", "Fair",  "Poor"};
  return c >= 0 && c <= 6 ? kNames[c] : "Poor";
}

}  // namespace sk720
