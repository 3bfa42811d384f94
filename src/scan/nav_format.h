#pragma once
// Geographic helpers of the information strip: coordinate texts, the
// destination of a bearing and distance, and the PDOP quality class.
#include <cstdint>
#include <string>

namespace sk720 {

// "%3d° %07.4f′" of the absolute angle in degrees and minutes (UTF-8); the sign
// is left to the hemisphere letter. "N/A" for a value that is not a number or
// lies beyond ±180°.
std::string FormatCoordinate(float radians);
void FormatCoordinate(float radians, std::string& out);  // into reused storage

struct GeoPoint {
  float lat = 0.0f,
        lon = 0.0f;  // radians; NaN when the start was not a position
};

// Great-circle destination on a sphere of 6 371 000 m. A negative or NaN
// distance counts as 0; a start that is not a valid position (NaN, infinite,
// |lat| > 90°, |lon| > 180°) gives NaN.
GeoPoint DestinationPoint(float lat, float lon, float bearing, float distanceMetres);

// 0 "N/A" (exactly 0.0), 1 "Ideal" .. 6 "Poor" (20 and above, and NaN).
int32_t ClassifyPdop(float pdop);
const char* pdopClassName(int32_t pdopClass);

// Hemisphere letters as the strip shows them: 0.0 (and NaN) count as south and
// west.
inline const char* latitudeLetter(float lat) { return lat > 0.0f ? "N" : "S"; }
inline const char* longitudeLetter(float lon) { return lon > 0.0f ? "E" : "W"; }

// True for a latitude the strip can show (finite, within ±90°).
bool isLatitude(float lat);

}  // namespace sk720
