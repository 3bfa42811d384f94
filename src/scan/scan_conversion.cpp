#include <cmath>

#include "scan/pixel_conversion.h"
#include "scan/scan_image.h"

namespace sk720 {

namespace {
Rotation rotationFor(const ScanInputs& in) {
  Rotation r;
  if (in.compassValid.load(std::memory_order_relaxed) != 0 &&
      in.compassEnabled.load(std::memory_order_relaxed) != 0 &&
      in.zeroAlwaysUp.load(std::memory_order_relaxed) == 0) {
    r.active = true;
    r.add = kTwoPi - in.headingRadians.load(std::memory_order_relaxed);
  }
  return r;
}

inline void convertOne(ScanImage& image, const LineStore& store, const Rotation& rot, size_t i,
                       bool& leftInvalid) {
  PixelMap& m = image.map;
  float v;
  if (convertPixel(m.angleFraction[i], m.rangeMetres[i], rot, store, v)) {
    m.value[i] = v;
    m.valid[i] = 1;
    ++image.valueHistogram[size_t(int32_t(v + 0.5f))];
  } else {
    leftInvalid = true;
  }
}
}  // namespace

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
  if (m.degreePixels.empty()) return;
  for (int32_t d = 0; d < kDegrees; ++d) {
    if (taken[d] != 1) continue;
    for (const int32_t* p = &m.degreePixels[size_t(m.degreeStart[d])]; *p >= 0; ++p) {
      m.valid[size_t(*p)] = 0;
    }
    image.degreePending[d] = 1;
  }
}

// Degree by degree: the pixels of one degree read the same eight or nine lines, so the store is
// read in a few narrow bands instead of jumping a line per pixel as raster order does.
void convertInvalidPixels(ScanImage& image, const LineStore& store, const ScanInputs& inputs) {
  PixelMap& m = image.map;
  if (m.degreePixels.empty()) return;
  const Rotation rot = rotationFor(inputs);
  for (int32_t d = 0; d < kDegrees; ++d) {
    if (!image.degreePending[d]) continue;
    bool leftInvalid = false;
    for (const int32_t* p = &m.degreePixels[size_t(m.degreeStart[d])]; *p >= 0; ++p) {
      if (!m.valid[size_t(*p)]) convertOne(image, store, rot, size_t(*p), leftInvalid);
    }
    image.degreePending[d] = leftInvalid ? 1 : 0;
  }
}

void convertInvalidPixelsRaster(ScanImage& image, const LineStore& store,
                                const ScanInputs& inputs) {
  PixelMap& m = image.map;
  const Rotation rot = rotationFor(inputs);
  bool leftInvalid = false;
  for (size_t i = 0; i < m.value.size(); ++i) {
    if (m.rangeMetres[i] < 0.0f || m.valid[i]) continue;
    convertOne(image, store, rot, i, leftInvalid);
  }
  std::fill(std::begin(image.degreePending), std::end(image.degreePending), uint8_t(0));
}

}  // namespace sk720
