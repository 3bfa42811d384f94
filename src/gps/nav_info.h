#pragma once
// The navigation record the NMEA parser accumulates: every applied sentence overwrites the values
// it reports and leaves the rest as they were.
#include <chrono>
#include <cstdint>

namespace sk720 {

// Bits of NavInfo::mask, also the sentence type tags.
enum SentenceType : int32_t {
  kSentenceGga = 1,
  kSentenceGsa = 2,
  kSentenceGsv = 4,
  kSentenceRmc = 8,
  kSentenceVtg = 16,
};

// Index of each value in NavInfo::utc.
enum UtcField { kUtcYear, kUtcMonth, kUtcDay, kUtcHour, kUtcMinute, kUtcSecond, kUtcHundredths };

struct NavInfo {
  int32_t mask = 0;     // sentence types applied so far
  int32_t utc[7] = {};  // year - 1900, month 0..11, day, hour, minute, second, hundredths
  int32_t signal = 0;   // GGA fix quality: 0 invalid, 1 fix, 2 differential
  int32_t fixType = 0;  // GSA fix type: 1 none, 2 2D, 3 3D
  double PDOP = 0.0;
  double HDOP = 0.0;
  double VDOP = 0.0;
  double lat = 0.0;          // ddmm.mmmm, negative for south
  double lon = 0.0;          // dddmm.mmmm, negative for west
  double elevation = 0.0;    // metres
  double speed = 0.0;        // km/h
  double direction = 0.0;    // track, degrees
  double declination = 0.0;  // magnetic variation, degrees

  // The start state: all zero, the time of `now` in UTC, no signal, no fix.
  void Reset(std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

  bool operator==(const NavInfo&) const = default;
};

// NMEA ddmm.mmmm (or dddmm.mmmm) to radians; the sign is kept.
double NmeaToRadians(double value);

}  // namespace sk720
