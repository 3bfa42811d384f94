#pragma once
// The heading as the display reads it, from a heading in record units (1/80 degree).
#include <cstdint>

namespace sk720 {

constexpr int64_t kHeadingUnitsPerTurn = 28800;

// Brought into one turn, [0, 28800), in constant time: compass and gyro fields come off the wire
// and may hold anything, and the display must never have to unwind many turns.
inline int64_t headingIntoTurn(int64_t units) {
  const int64_t r = units % kHeadingUnitsPerTurn;
  return r < 0 ? r + kHeadingUnitsPerTurn : r;
}

// headingRadians: whole display lines (9 units each, 3200 a turn) of the heading within one turn.
inline float headingRadiansOf(int64_t units) {
  constexpr float kPi = 3.14159265358979323846f;
  return float(headingIntoTurn(units) / 9) * 2.0f * kPi / 3200.0f;
}

}  // namespace sk720
