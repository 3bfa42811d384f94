#pragma once
// Where a north-up turn image lies on the WGS 84 ellipsoid: its pixel size in degrees at the
// turn's latitude, the world file, the .prj and the KML box that place it.
#include <cstdint>
#include <string>

namespace sk720::cli {

// Metres per degree of latitude and of longitude at a latitude (degrees), on the WGS 84 ellipsoid.
void metresPerDegree(double latitudeDeg, double& perDegreeLat, double& perDegreeLon);

struct MapFrame {
  double centreLat = 0.0, centreLon = 0.0;  // the head, degrees
  double metresPerPixel = 0.0;
  int32_t size = 0;         // square image side, pixels
  int32_t centrePixel = 0;  // column and row whose pixel centre is the head
  double pixelLon = 0.0;    // degrees per pixel eastwards
  double pixelLat = 0.0;    // degrees per pixel northwards (positive)
};

// The frame of an image of `size` pixels whose head pixel is (centrePixel, centrePixel).
MapFrame mapFrame(double latDeg, double lonDeg, double metresPerPixel, int32_t size,
                  int32_t centrePixel);

// Six lines: x and y pixel size, the two rotation terms (0) and the centre of the top-left pixel.
std::string worldFileText(const MapFrame& f);
// The WGS 84 geographic coordinate system in the .prj form GIS programs read beside a world file.
const char* wgs84PrjText();

// Outer edges of the image, degrees.
struct MapBox {
  double north, south, east, west;
};
MapBox mapBox(const MapFrame& f);

// Decimal degrees with enough digits for a millimetre.
std::string degreesText(double deg);

}  // namespace sk720::cli
