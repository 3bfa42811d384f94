#pragma once
// The information strip's lines: the sonar parameters decoded from the command
// word of the newest record, the device, the GPS fix and the geographic
// position under the cursor.
#include <cstdint>
#include <string>

namespace sk720 {

// The strip lines last formatted; they outlive the paint because the screenshot
// redraws them.
struct InfoStripTexts {
  std::string status;
  std::string pulse, step, gain, id, sector;  // formatted on every paint
  std::string gps;
  std::string cursor;  // the last one formatted while a fix was present
};

// y of each line in the strip, 12 px apart.
constexpr int32_t kStripStatusY = 0, kStripPulseY = 12, kStripStepY = 24, kStripGainY = 36,
                  kStripIdY = 48, kStripSectorY = 60, kStripGpsY = 72, kStripCursorY = 84;
constexpr float kStripFontPx = 12.0f;
constexpr uint32_t kStripTextArgb = 0xFFFFFFFF;

// Long form (with the centre frequency and bandwidth) when the program runs
// tunable.
struct DeviceLine {
  bool operator==(const DeviceLine&) const = default;
  uint32_t deviceId = 0;
  bool tunable = false;
  int32_t centralFrequency = 0, bandwidth = 0;  // Hz
};

// The pulse, step, gain, ID and sector lines.
void formatParameterLines(uint32_t commandWord, const DeviceLine& device, InfoStripTexts& out);

struct GpsSnapshot {
  bool operator==(const GpsSnapshot&) const = default;
  float lat = 0.0f, lon = 0.0f, pdop = 100.0f;
  int32_t sig = 0, fix = 0;
};

// "GPS(%s): %s %s, %s %s, PDOP: %4.1f (%s)", or "GPS: N/A" without a fix.
void formatGpsLine(const GpsSnapshot& gps, std::string& out);

// The cursor's geographic position from the pixel's polar position
// (angleFraction, rangeMetres) and the heading: "Cursor: %s %s, %s %s".
void formatCursorLine(const GpsSnapshot& gps, float angleFraction, float rangeMetres,
                      float headingRadians, std::string& out);

}  // namespace sk720
