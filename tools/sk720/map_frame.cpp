#include "sk720/map_frame.h"

#include <cmath>
#include <cstdio>

namespace sk720::cli {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSemiMajor = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kEccentricity2 = kFlattening * (2.0 - kFlattening);

}  // namespace

void metresPerDegree(double latitudeDeg, double& perDegreeLat, double& perDegreeLon) {
  const double phi = latitudeDeg * kPi / 180.0;
  const double s = std::sin(phi);
  const double w = 1.0 - kEccentricity2 * s * s;
  const double meridian = kSemiMajor * (1.0 - kEccentricity2) / (w * std::sqrt(w));
  const double normal = kSemiMajor / std::sqrt(w);
  perDegreeLat = meridian * kPi / 180.0;
  perDegreeLon = normal * std::cos(phi) * kPi / 180.0;
}

MapFrame mapFrame(double latDeg, double lonDeg, double metresPerPixel, int32_t size,
                  int32_t centrePixel) {
  MapFrame f;
  f.centreLat = latDeg;
  f.centreLon = lonDeg;
  f.metresPerPixel = metresPerPixel;
  f.size = size;
  f.centrePixel = centrePixel;
  double perLat = 0.0, perLon = 0.0;
  metresPerDegree(latDeg, perLat, perLon);
  f.pixelLat = metresPerPixel / perLat;
  f.pixelLon = metresPerPixel / perLon;
  return f;
}

std::string degreesText(double deg) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.10f", deg);
  return buf;
}

std::string worldFileText(const MapFrame& f) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "%.15g\n0\n0\n%.15g\n%.12f\n%.12f\n", f.pixelLon, -f.pixelLat,
                f.centreLon - f.centrePixel * f.pixelLon, f.centreLat + f.centrePixel * f.pixelLat);
  return buf;
}

const char* wgs84PrjText() {
  return "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
         "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
}

MapBox mapBox(const MapFrame& f) {
  // Pixel c's centre is the head, so the image's edges lie half a pixel beyond the outer centres.
  const double before = f.centrePixel + 0.5, after = f.size - f.centrePixel - 0.5;
  return {f.centreLat + before * f.pixelLat, f.centreLat - after * f.pixelLat,
          f.centreLon + after * f.pixelLon, f.centreLon - before * f.pixelLon};
}

}  // namespace sk720::cli
