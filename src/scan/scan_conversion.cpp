#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"

namespace sk720 {

Rotation northUpRotation(const ScanInputs& in) {
  Rotation r;
  if (in.compassValid.load(std::memory_order_relaxed) != 0 &&
      in.compassEnabled.load(std::memory_order_relaxed) != 0 &&
      in.zeroAlwaysUp.load(std::memory_order_relaxed) == 0) {
    r.active = true;
    r.add = kTwoPi - in.headingRadians.load(std::memory_order_relaxed);
  }
  return r;
}

// Entries ahead of the one converted whose store values are requested early: the reads of one
// degree follow its lines outwards, but two lines per pixel are more streams than the hardware
// follows on its own.
constexpr size_t kPrefetchAhead = 16;

void markDirtyPixels(ScanImage& image, LineStore& store) {
  uint32_t taken[kDegrees];
  {
    std::lock_guard<std::mutex> g(store.lineLock);
    for (int32_t d = 0; d < kDegrees; ++d) {
      taken[d] = store.dirtyDegrees[d];
      store.dirtyDegrees[d] = 0;
    }
  }
  PixelMap& m = image.map;
  for (int32_t d = 0; d < kDegrees; ++d) {
    if (taken[d] != 1) continue;
    for (const DegreePixel& p : m.degreePixels[size_t(d)]) m.valid[size_t(p.pixel)] = 0;
    image.degreePending[d] = 1;
  }
}

// Degree by degree: the pixels of one degree read the same eight or nine lines and come from one
// contiguous list ordered along the beam, so the store is read in narrow streams instead of
// jumping a line per pixel as raster order does. A pending degree has had all of its listed
// pixels invalidated (by taking its flag or by a new map), so every one is converted.
void convertInvalidPixels(ScanImage& image, const LineStore& store, const ScanInputs& inputs) {
  PixelMap& m = image.map;
  const Rotation rot = northUpRotation(inputs);
  float* values = m.value.data();
  uint8_t* valid = m.valid.data();
  auto& histogram = image.valueHistogram;
  for (int32_t d = 0; d < kDegrees; ++d) {
    if (!image.degreePending[d]) continue;
    const auto& list = m.degreePixels[size_t(d)];
    const size_t count = list.size();
    for (size_t n = 0; n < count; ++n) {
      const DegreePixel& e = list[n];
      if (n + kPrefetchAhead < count) {
        const DegreePixel& ahead = list[n + kPrefetchAhead];
        store.prefetch(ahead.line, ahead.sample);
        store.prefetch(ahead.line + 1, ahead.sample);
      }
      const float v = rot.active ? convertPixel(e.angleFraction, e.sample, rot, store)
                                 : interpolateLines(e.line, e.weight, e.sample, store);
      values[size_t(e.pixel)] = v;
      valid[size_t(e.pixel)] = 1;
      ++histogram[size_t(int32_t(v + 0.5f))];
    }
    image.degreePending[d] = 0;
  }
}

}  // namespace sk720
