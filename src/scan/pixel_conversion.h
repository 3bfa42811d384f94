#pragma once
// The conversion of one pixel from the line store.
#include <cmath>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scan/line_store.h"

namespace sk720 {

constexpr float kTwoPi = 6.28318530717958647692f;

// Sample position along the beam of a pixel distance, in the store's value index units; pixels
// at 20400 or more lie beyond the store.
inline float samplePosition(float rangeMetres) { return 20400.0f / 150.0f * rangeMetres * 0.98f; }

// North-up rotation in force for a conversion pass: added to every pixel direction.
struct Rotation {
  bool active = false;
  float add = 0.0f;  // 2*pi - heading
};

// A direction brought into [0, 2*pi) without a loop, whatever the heading held; a value that is
// no direction at all (not finite) becomes 0.
inline float wrapIntoTurn(float a) {
  a = std::fmod(a, kTwoPi);
  if (a < 0.0f) a += kTwoPi;
  return a >= 0.0f && a < kTwoPi ? a : 0.0f;
}

// The line before a direction and the weight of the line after it.
inline void linePosition(float angleFraction, const Rotation& rot, int32_t& first, float& t) {
  float a = angleFraction * kTwoPi;
  if (rot.active) {
    a = a + rot.add;
    // A heading within one turn leaves at most one turn to take off.
    if (a >= kTwoPi) a -= kTwoPi;
    if (!(a >= 0.0f && a < kTwoPi)) a = wrapIntoTurn(a);
  }
  const float lp = a / kTwoPi * 3200.0f;
  const int32_t whole = int32_t(lp);
  first = whole % kLinesPerTurn;
  t = lp - float(whole);
}

// Interpolates between line `first` and the next one; along the beam the sample is taken by
// truncation.
inline float interpolateLines(int32_t first, float t, int32_t sample, const LineStore& store) {
  const float near = float(store.load(first, sample));
  float result = near;
  if (t != 0.0f) {
    const int32_t next = first + 1 == kLinesPerTurn ? 0 : first + 1;
    const float far = float(store.load(next, sample));
    result = near + (far - near) * t;
  }
  return result >= 4096.0f ? 4095.0f : result;
}

// The colour table entry of a value at a contrast level (7..4095); the formula every colouring
// shares. Values of 4096 or more, which take the top entry, reach it through the upper limit
// since the level is at most 4095.
inline int32_t colourEntry(float v, float level) {
#if defined(__SSE2__)
  // The limits as min and max instructions: compiled as branches they are mispredicted as often
  // as the values cross the level.
  __m128 index = _mm_div_ss(_mm_mul_ss(_mm_set_ss(v), _mm_set_ss(4095.0f)), _mm_set_ss(level));
  index = _mm_min_ss(_mm_max_ss(index, _mm_setzero_ps()), _mm_set_ss(4095.0f));
  return _mm_cvttss_si32(_mm_add_ss(index, _mm_set_ss(0.5f)));
#else
  float index = v * 4095.0f / level;
  index = index > 0.0f ? index : 0.0f;
  index = index < 4095.0f ? index : 4095.0f;
  return int32_t(index + 0.5f);  // NOLINT(bugprone-incorrect-roundings): as the table is defined
#endif
}

}  // namespace sk720
