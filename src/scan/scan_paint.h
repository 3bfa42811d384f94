#pragma once
// The portable steps of one paint of the scan image: colour table, contrast step, taking the
// changes, conversion, contrast level and colouring into a 32-bit top-down BGRX image.
#include <cstdint>

#include "scan/scan_image.h"

namespace sk720 {

// Contrast step; called under image.lock and store.lineLock. Returns true on a full refresh.
bool contrastStep(ScanImage& image, LineStore& storeLocked, const ViewSettings& view,
                  uint32_t nowMs);

// The value mapped to the top of the colour table for contrast parameter c (0 = automatic).
int32_t contrastLevel(const ScanImage& image, int32_t contrastParameter);

// Colours every pixel except the centre into pixels (imageSize x imageSize, row-major).
void colourPixels(const ScanImage& image, int32_t level, uint32_t* pixels);

// One paint: pixels must hold imageSize * imageSize entries. Returns the contrast level used.
int32_t paintScanImage(ScanImage& image, LineStore& store, const ViewSettings& view,
                       const ScanInputs& inputs, uint32_t nowMs, uint32_t* pixels);

}  // namespace sk720
