#pragma once
// A degree list's entries decoded into what their conversion reads: the image pixel, the sample
// along the beam, and the line before the direction with the weight of the next. Every quantity
// is computed with the same single-precision steps as the map computes it, four entries at a time
// where SSE2 is available.
#include <cmath>
#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"

namespace sk720 {

// What a map's entries are decoded against.
struct EntryScale {
  int32_t size, centreX, centreY;
  float pixelsPerMetre;
  explicit EntryScale(const PixelMap& m)
      : size(m.layout.size),
        centreX(m.layout.centreX),
        centreY(m.layout.centreY),
        pixelsPerMetre(m.pixelsPerMetre) {}
};

// The sample position of an entry; the one formula the listing and every conversion share.
inline float entrySamplePosition(const DegreePixel& p, const EntryScale& s) {
  const float dx = float(int32_t(p.x) - s.centreX), dy = float(int32_t(p.y) - s.centreY);
  return samplePosition(std::sqrt(dx * dx + dy * dy) / s.pixelsPerMetre);
}

inline int32_t entryPixel(const DegreePixel& p, const EntryScale& s) {
  return int32_t(p.y) * s.size + int32_t(p.x);
}

constexpr size_t kDecodeBlock = 32;

struct DecodedBlock {
  alignas(16) int32_t pixel[kDecodeBlock];
  alignas(16) int32_t sample[kDecodeBlock];
  alignas(16) int32_t line[kDecodeBlock];
  alignas(16) float weight[kDecodeBlock];
};

// Decodes n <= kDecodeBlock listed entries (their samples lie within the store) under a rotation.
inline void decodeEntries(const DegreePixel* e, size_t n, const EntryScale& s, const Rotation& rot,
                          DecodedBlock& out) {
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i cx = _mm_set1_epi32(s.centreX), cy = _mm_set1_epi32(s.centreY);
  const __m128i low = _mm_set1_epi32(0xFFFF), size = _mm_set1_epi32(s.size);
  const __m128 ppm = _mm_set1_ps(s.pixelsPerMetre), twoPi = _mm_set1_ps(kTwoPi);
  const __m128i turn = _mm_set1_epi32(kLinesPerTurn);
  for (; i + 4 <= n; i += 4) {
    const __m128 a = _mm_loadu_ps(reinterpret_cast<const float*>(e + i));
    const __m128 b = _mm_loadu_ps(reinterpret_cast<const float*>(e + i + 2));
    const __m128i xy = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128 fraction = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128i x = _mm_and_si128(xy, low), y = _mm_srli_epi32(xy, 16);
    // y * size + x: SSE2 multiplies the even lanes only.
    const __m128i even = _mm_mul_epu32(y, size);
    const __m128i odd = _mm_mul_epu32(_mm_srli_si128(y, 4), size);
    const __m128i rows = _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
    _mm_store_si128(reinterpret_cast<__m128i*>(out.pixel + i), _mm_add_epi32(rows, x));
    const __m128 dx = _mm_cvtepi32_ps(_mm_sub_epi32(x, cx));
    const __m128 dy = _mm_cvtepi32_ps(_mm_sub_epi32(y, cy));
    const __m128 d = _mm_sqrt_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)));
    const __m128 sp = _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(20400.0f / 150.0f), _mm_div_ps(d, ppm)),
                                 _mm_set1_ps(0.98f));
    _mm_store_si128(reinterpret_cast<__m128i*>(out.sample + i), _mm_cvttps_epi32(sp));
    if (!rot.active) {
      const __m128 lp = _mm_mul_ps(_mm_div_ps(_mm_mul_ps(fraction, twoPi), twoPi),
                                   _mm_set1_ps(float(kLinesPerTurn)));
      const __m128i whole = _mm_cvttps_epi32(lp);
      _mm_store_ps(out.weight + i, _mm_sub_ps(lp, _mm_cvtepi32_ps(whole)));
      // A whole turn is line 0 again.
      _mm_store_si128(reinterpret_cast<__m128i*>(out.line + i),
                      _mm_andnot_si128(_mm_cmpeq_epi32(whole, turn), whole));
    }
  }
#endif
  for (; i < n; ++i) {
    out.pixel[i] = entryPixel(e[i], s);
    out.sample[i] = int32_t(entrySamplePosition(e[i], s));
    if (!rot.active) linePosition(e[i].angleFraction, rot, out.line[i], out.weight[i]);
  }
  if (rot.active) {
    for (i = 0; i < n; ++i) linePosition(e[i].angleFraction, rot, out.line[i], out.weight[i]);
  }
}

}  // namespace sk720
