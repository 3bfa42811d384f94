#pragma once
// The scan conversion written out literally: one PixelPolar record per pixel and every pixel
// visited in raster order. Tests and benchmarks hold the optimised path against it.
#include <cstdint>
#include <vector>

#include "scan/scan_image.h"

namespace sk720 {

struct ReferenceScan {
  int32_t size = 0;
  std::vector<PixelPolar> pixelMap;
  std::array<uint32_t, 4096> valueHistogram{};
};

// The map of a geometry, every record invalid.
ReferenceScan buildReferenceScan(int32_t panX, int32_t panY, int32_t size, float pixelsPerMetre,
                                 int32_t zeroOffsetDegrees);
void convertReferenceRaster(ReferenceScan& scan, const LineStore& store, const ScanInputs& inputs);

// One paint as written out literally: the colour table built anew, a full refresh reconverting
// every degree, every pixel coloured from the table. The image should have one worker.
int32_t paintReference(ScanImage& image, LineStore& store, const ViewSettings& view,
                       const ScanInputs& inputs, uint32_t nowMs, uint32_t* pixels);

}  // namespace sk720
