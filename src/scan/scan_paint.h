#pragma once
// The portable steps of one paint of the scan image: colour table, contrast step, taking the
// changes, conversion, contrast level and colouring into a 32-bit top-down BGRX image.
#include <cstdint>

#include "scan/scan_image.h"

namespace sk720 {

// Contrast step, under image.lock: true when the histogram must describe the whole image afresh
// (it is then cleared; the paint reconverts every pixel, or recounts the values when a
// reconversion could not change one).
bool contrastStep(ScanImage& image, const ViewSettings& view, uint32_t nowMs);

// The value mapped to the top of the colour table for contrast parameter c (0 = automatic).
int32_t contrastLevel(const ScanImage& image, int32_t contrastParameter);

// The colour table as 32-bit pixels (0x00RRGGBB).
void packColourTable(const ColourTable& table, uint32_t* packed);

// Colours every pixel except the centre into pixels (imageSize x imageSize, row-major), one
// pixel after the other from colourTable: the literal colouring the faster ones are held to.
void colourPixels(const ScanImage& image, int32_t level, uint32_t* pixels);
// The same from packedColours, shared among the image's workers when the image is large; only
// the rows from firstRow up to endRow (-1: the last) when given.
void colourEveryPixel(ScanImage& image, int32_t level, uint32_t* pixels, int32_t firstRow = 0,
                      int32_t endRow = -1);
// Colours only the pixels of the degrees converted since the last colouring: the same result
// while the level, the colours and the buffer's previous contents are those of that colouring.
void colourConvertedPixels(const ScanImage& image, int32_t level, uint32_t* pixels);

// One paint: pixels must hold imageSize * imageSize entries. Only the pixels that can have
// changed since the previous paint into the same buffer are coloured; freshPixels asks for
// every one (a new or overwritten buffer). With windowFirst (the caller shows only the client's
// window of the image), a paint that must convert much of the window under a manual contrast
// leaves the pixels outside it to the next paint. Returns the contrast level used.
int32_t paintScanImage(ScanImage& image, LineStore& store, const ViewSettings& view,
                       const ScanInputs& inputs, uint32_t nowMs, uint32_t* pixels,
                       bool freshPixels = false, bool windowFirst = false);

}  // namespace sk720
