#include "sim/scene.h"

#include <algorithm>
#include <cmath>

#include "base/byte_order.h"
#include "records/ping_record.h"

namespace sk720::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSamplesPerMetre = 20400.0 / 150.0 * 0.98;

uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

double unit(uint64_t h) { return double(h >> 11) * (1.0 / 9007199254740992.0); }

struct Wall {
  double nx, ny, d;  // points p with p·n = d
  double strength;
};
// A basin 21 m wide: quay walls north, east, south and west of the head, and a breakwater far out.
const Wall kWalls[] = {{0, 1, 8.5, 0.95},
                       {1, 0, 12.0, 0.85},
                       {0, -1, 6.5, 0.9},
                       {-1, 0, 9.5, 0.8},
                       {0.6, 0.8, 42.0, 1.0}};

struct Target {
  double x, y, radius, strength;
};
const Target kTargets[] = {{2.5, 4.0, 0.25, 1.0},   {-3.0, 2.0, 0.18, 0.9}, {5.0, -3.5, 0.3, 0.95},
                           {-6.0, -4.0, 0.22, 0.8}, {0.5, -2.0, 0.12, 0.7}, {9.0, 6.0, 0.35, 1.0},
                           {-25.0, 18.0, 1.2, 1.0}, {20.0, -30.0, 1.5, 0.9}};

}  // namespace

void metresPerDegreeAt(double latitudeDeg, double& perDegreeLat, double& perDegreeLon) {
  // WGS 84: the meridian and prime vertical radii of curvature at the latitude.
  const double a = 6378137.0, f = 1.0 / 298.257223563, e2 = f * (2.0 - f);
  const double phi = latitudeDeg * kPi / 180.0, s = std::sin(phi), w = 1.0 - e2 * s * s;
  perDegreeLat = a * (1.0 - e2) / (w * std::sqrt(w)) * kPi / 180.0;
  perDegreeLon = a / std::sqrt(w) * std::cos(phi) * kPi / 180.0;
}

uint8_t sceneEcho(double turnFraction, double r, uint64_t seed, uint32_t pingIndex,
                  uint32_t sampleIndex) {
  const double phi = turnFraction * 2.0 * kPi;
  // Up on the image is +y; directions run counter-clockwise.
  const double ux = -std::sin(phi), uy = std::cos(phi);
  const double speckle = unit(mix(seed ^ (uint64_t(pingIndex) << 24) ^ sampleIndex));

  // Nearest wall along the ray: it echoes strongly and shadows everything behind it.
  double wallRange = 1e9, wallStrength = 0.0;
  for (const Wall& w : kWalls) {
    const double c = ux * w.nx + uy * w.ny;
    if (c <= 1e-6) continue;
    const double t = w.d / c;
    if (t < wallRange) {
      wallRange = t;
      wallStrength = w.strength * (0.55 + 0.45 * c);
    }
  }
  const double fallOff = 1.0 / (1.0 + r / 40.0);
  // Rayleigh-like speckle: exponentially distributed intensity.
  const double grain = -std::log(1.0 - 0.999 * speckle);
  double a = 0.0;
  if (r < wallRange) {
    // Volume and bottom reverberation, stronger near the head, with a patch of rough bottom.
    const double px = r * ux, py = r * uy;
    const double rough = std::exp(-((px + 4.0) * (px + 4.0) + (py - 5.5) * (py - 5.5)) / 3.0);
    a = (0.07 * std::exp(-r / 5.0) + 0.025 + 0.09 * rough) * grain;
    for (const Target& t : kTargets) {
      const double along = t.x * ux + t.y * uy;
      if (along <= 0) continue;
      const double across = std::fabs(t.x * uy - t.y * ux);
      const double dr = r - along;
      const double beam = 0.013 * along + t.radius;  // the beam widens with range
      const double shape = std::exp(-(dr * dr) / (t.radius * t.radius * 0.5) -
                                    (across * across) / (beam * beam * 0.5));
      a = std::max(a, t.strength * shape * (0.75 + 0.25 * speckle));
    }
  } else {
    const double into = r - wallRange;
    if (into < 0.8) {
      a = wallStrength * (0.7 + 0.3 * speckle) * std::exp(-into / 0.3);
    } else {
      a = 0.01 * grain;  // acoustic shadow behind the wall
    }
  }
  a *= fallOff;
  return uint8_t(std::clamp(a * 255.0, 0.0, 255.0));
}

uint32_t PingSynthesizer::recordLength(int32_t rangeIndex) {
  rangeIndex = std::clamp(rangeIndex, 0, 14);
  return uint32_t(kRangeSampleCounts[rangeIndex]) + 16;
}

PingSynthesizer::PingSynthesizer(const PingPlan& plan) : plan_(plan) {
  if (plan_.headerSize != 28 && plan_.headerSize != 36) plan_.headerSize = 44;
  if (plan_.sectorWidth > 0) {
    position_ = ((plan_.sectorHeading - plan_.sectorWidth / 2) % 3200 + 3200) % 3200;
  }
}

void PingSynthesizer::advance() {
  const int32_t step = plan_.step;
  if (plan_.sectorWidth > 0 && step > 0) {
    // Sweep back and forth between the sector's edges.
    sectorOffset_ += sweepDir_ * step;
    if (sectorOffset_ >= plan_.sectorWidth) {
      sectorOffset_ = plan_.sectorWidth;
      sweepDir_ = -1;
    } else if (sectorOffset_ <= 0) {
      sectorOffset_ = 0;
      sweepDir_ = 1;
    }
    const int32_t lo = plan_.sectorHeading - plan_.sectorWidth / 2;
    const int32_t off = plan_.reverse ? -sectorOffset_ : sectorOffset_;
    position_ = ((lo + off) % 3200 + 3200) % 3200;
  } else {
    position_ = ((position_ + (plan_.reverse ? -step : step)) % 3200 + 3200) % 3200;
  }
}

int32_t PingSynthesizer::next(uint8_t* buf) {
  const uint32_t total = recordLength(plan_.rangeIndex);
  const int32_t hs = plan_.headerSize;
  const int32_t count = int32_t(total) - hs - kFooterSize;
  const double t = double(ping_) * plan_.pingPeriodUs * 1e-6;

  storeU32(buf + 0, kDataMagic);
  storeU32(buf + 4, uint32_t(hs));
  // The slider bar multiplies lines per turn, record length and this factor into the bytes of a
  // turn, so a head that means whole records sends 1.
  storeU32(buf + 8, 1);
  storeU32(buf + 12, total);
  storeU32(buf + 16, plan_.deviceId);
  storeU32(buf + 20, uint32_t(position_) * 9);
  storeU32(buf + 24, plan_.commandWord);
  // A boat swinging gently about a heading of 30 degrees, turning steadily from it, or the plan's
  // fixed heading.
  const double turned = plan_.turnDegreesPerSecond * t;
  const double headingDeg = plan_.fixedHeading ? plan_.headingDeg
                            : plan_.turnDegreesPerSecond != 0.0
                                ? std::fmod(std::fmod(30.0 + turned, 360.0) + 360.0, 360.0)
                                : 30.0 + 6.0 * std::sin(t / 20.0);
  if (hs >= 36 && plan_.compass != PingPlan::Compass::None) {
    const int32_t units = int32_t(std::lround(headingDeg * 80.0));
    const int32_t gyro = plan_.compass == PingPlan::Compass::GyroOffset
                             ? int32_t(std::lround((headingDeg + kGyroOffsetDeg) * 80.0))
                             : units;
    storeI32(buf + 28, gyro);
    storeI32(buf + 32, units);
  }
  double north = 0.0, east = 0.0;  // metres from the start, for the plan's own motions
  if (plan_.motion == PingPlan::Motion::Track) {
    const double b = plan_.trackBearingDeg * kPi / 180.0;
    north = plan_.trackSpeed * t * std::cos(b);
    east = plan_.trackSpeed * t * std::sin(b);
  }
  if (hs >= 44) {
    double lat = 0.0, lon = 0.0;
    if (plan_.motion == PingPlan::Motion::Drift) {
      // Drifting north-east at about half a metre a second.
      const double metres = 0.5 * t;
      lat = plan_.startLatitudeDeg + metres * 0.7071 / 111320.0;
      lon = plan_.startLongitudeDeg +
            metres * 0.7071 / (111320.0 * std::cos(plan_.startLatitudeDeg * kPi / 180));
    } else {
      double perLat = 0.0, perLon = 0.0;
      metresPerDegreeAt(plan_.latitudeDeg, perLat, perLon);
      lat = plan_.latitudeDeg + north / perLat;
      lon = plan_.longitudeDeg + east / perLon;
    }
    storeF32(buf + 36, float(lat * kPi / 180.0));
    storeF32(buf + 40, float(lon * kPi / 180.0));
  }
  // The display draws a head-up raw angle mirrored; draw the scene where it will be shown.
  const int32_t displayLine = plan_.headUp ? (3200 - position_) % 3200 : position_;
  const double fraction = displayLine / 3200.0;
  uint8_t* samples = buf + hs;
  for (int32_t j = 0; j < count; ++j) {
    samples[j] = sceneEcho(fraction, j / kSamplesPerMetre, plan_.seed, ping_, uint32_t(j));
  }
  if (plan_.target) {
    // The target's place from the head, turned into the display frame: a display direction a
    // (counter-clockwise) looks along bearing z - a, z being where the picture's zero points.
    const double b = plan_.targetBearingDeg * kPi / 180.0;
    const double dn = plan_.targetRangeM * std::cos(b) - north;
    const double de = plan_.targetRangeM * std::sin(b) - east;
    const double zero = (plan_.headUp ? -headingDeg : headingDeg) * kPi / 180.0;
    const double a = zero - std::atan2(de, dn);  // display angle of the target
    const double d = std::hypot(dn, de);
    const double phi = fraction * 2.0 * kPi;
    const double ux = -std::sin(phi), uy = std::cos(phi);
    const double tx = -std::sin(a) * d, ty = std::cos(a) * d;
    const double along = tx * ux + ty * uy;
    const double across = std::fabs(tx * uy - ty * ux);
    if (along > 0.0) {
      for (int32_t j = 0; j < count; ++j) {
        const double dr = j / kSamplesPerMetre - along;
        if (std::fabs(dr) > 1.0) continue;
        const double shape = std::exp(-(dr * dr) / 0.02 - (across * across) / 0.005);
        samples[j] = std::max(samples[j], uint8_t(std::clamp(shape * 255.0, 0.0, 255.0)));
      }
    }
  }
  storeU32(buf + total - 8, uint32_t(t * 1000.0));
  // Every fifth record closes with "END0": the head takes no command after it.
  storeU32(buf + total - 4, (ping_ % 5 == 4) ? kEnd0Magic : kEnd1Magic);
  ++ping_;
  advance();
  return int32_t(total);
}

}  // namespace sk720::sim
