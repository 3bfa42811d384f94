#pragma once
// The conversion of one pixel from the line store, shared by every conversion order.
#include <cstdint>

#include "scan/line_store.h"

namespace sk720 {

constexpr float kTwoPi = 6.28318530717958647692f;

// Sample position along the beam of a pixel distance, in the store's value index units.
inline float samplePosition(float rangeMetres) { return 20400.0f / 150.0f * rangeMetres * 0.98f; }

// North-up rotation in force for a conversion pass: added to every pixel direction.
struct Rotation {
  bool active = false;
  float add = 0.0f;  // 2*pi - heading
};

// Returns false when the pixel lies beyond the store's reach (left as it is).
inline bool convertPixel(float angleFraction, float rangeMetres, const Rotation& rot,
                         const LineStore& store, float& out) {
  const float sp = samplePosition(rangeMetres);
  if (!(sp < 20400.0f)) return false;
  float a = angleFraction * kTwoPi;
  if (rot.active) {
    a = a + rot.add;
    while (a >= kTwoPi) a -= kTwoPi;
    while (a < 0.0f) a += kTwoPi;
  }
  const float lp = a / kTwoPi * 3200.0f;
  const int32_t whole = int32_t(lp);
  const int32_t first = whole % kLinesPerTurn;
  const float t = lp - float(whole);
  const int32_t k = int32_t(sp);
  const float near = float(store.load(first, k));
  float result = near;
  if (t != 0.0f) {
    const int32_t next = first + 1 == kLinesPerTurn ? 0 : first + 1;
    const float far = float(store.load(next, k));
    result = near + (far - near) * t;
  }
  out = result >= 4096.0f ? 4095.0f : result;
  return true;
}

}  // namespace sk720
