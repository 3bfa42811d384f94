#pragma once
// A deterministic synthetic underwater scene and the ping records a head would send of it:
// basin walls with their acoustic shadows, a few point targets, speckle and range fall-off.
// The synth command, the simulated head, tests and benchmarks all draw from it.
#include <cstdint>

namespace sk720::sim {

// Echo code (0..255) of the scene at a display direction (fraction of a turn, counter-clockwise
// from the image's up direction) and a distance in metres.
uint8_t sceneEcho(double turnFraction, double rangeMetres, uint64_t seed, uint32_t pingIndex,
                  uint32_t sampleIndex);

// Metres per degree of latitude and of longitude at a latitude, on the WGS 84 ellipsoid.
void metresPerDegreeAt(double latitudeDeg, double& perDegreeLat, double& perDegreeLon);

struct PingPlan {
  uint32_t commandWord = 0;
  int32_t headerSize = 44;    // 28, 36 or 44
  int32_t rangeIndex = 6;     // row of the range table
  int32_t step = 1;           // motor steps of 1/3200 turn per ping (0 = not turning)
  bool reverse = false;       // turning in the decreasing direction
  bool headUp = false;        // head mounted up: the raw angle runs mirrored
  int32_t sectorHeading = 0;  // 1/3200 turn, centre of the sector
  int32_t sectorWidth = 0;    // 1/3200 turn; 0 = full circle
  uint32_t pingPeriodUs = 42776;
  uint32_t deviceId = 720001;
  uint64_t seed = 1;
  double turnDegreesPerSecond = 0.0;  // 0: the boat swings gently about one heading
  float startLatitudeDeg = 35.0950f;
  float startLongitudeDeg = 129.0400f;

  // Where the head goes: drifting north-east from the start above (the default), held at
  // `latitudeDeg`, `longitudeDeg`, or moving from there along a straight line.
  enum class Motion { Drift, Fixed, Track };
  Motion motion = Motion::Drift;
  double latitudeDeg = 0.0, longitudeDeg = 0.0;
  double trackBearingDeg = 0.0;  // clockwise from north
  double trackSpeed = 0.0;       // metres a second
  // What the compass and gyro fields read: both the heading (the default), nothing (zeros: a head
  // without a compass), or the gyro from its own zero, kGyroOffsetDeg away from the compass.
  enum class Compass { Agree, None, GyroOffset };
  Compass compass = Compass::Agree;
  bool fixedHeading = false;  // the heading stays at headingDeg instead of swinging about 30
  double headingDeg = 0.0;
  // A strong point target fixed in the world, at a bearing and range from where the head starts.
  bool target = false;
  double targetBearingDeg = 0.0, targetRangeM = 0.0;
};

constexpr double kGyroOffsetDeg = 45.0;

// Produces the records of a plan one after the other.
class PingSynthesizer {
 public:
  explicit PingSynthesizer(const PingPlan& plan);
  // Writes the next record into buf (at least 20400 bytes); returns its length in bytes.
  int32_t next(uint8_t* buf);
  // Step position (0..3199) of the record next() will produce, in the head's own frame.
  int32_t position() const { return position_; }
  uint32_t pingIndex() const { return ping_; }
  // Total record length for the plan's range: within the range's table row, whatever the header.
  static uint32_t recordLength(int32_t rangeIndex);

 private:
  void advance();
  PingPlan plan_;
  int32_t position_ = 0;
  int32_t sectorOffset_ = 0;  // 0..width while sweeping a sector
  int32_t sweepDir_ = 1;
  uint32_t ping_ = 0;
};

}  // namespace sk720::sim
