#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "scan/degree_entries.h"
#include "scan/pixel_conversion.h"
#include "scan/scan_paint.h"

namespace sk720 {

namespace {

// colourEntry reaches the top entry for values of 4096 or more through its upper limit, so the
// vector path needs no comparison with 4096 either.
inline uint32_t colourOf(float v, float level, const uint32_t* packed) {
  return packed[colourEntry(v, level)];
}

// Below this many pixels a colouring runs on the calling thread alone.
constexpr size_t kParallelPixels = size_t(1) << 18;

struct ColouringPass {
  const ScanImage* image;
  float level;
  uint32_t* pixels;
  int32_t workers;
  size_t first, count;  // the pixels to colour
};

void colourTask(void* context, int32_t worker) {
  const auto& pass = *static_cast<const ColouringPass*>(context);
  const size_t n = pass.count;
  const size_t begin = pass.first + n * size_t(worker) / size_t(pass.workers);
  const size_t end = pass.first + n * size_t(worker + 1) / size_t(pass.workers);
  const float* values = pass.image->map.value.data();
  const uint32_t* packed = pass.image->packedColours.data();
  size_t i = begin;
#if defined(__SSE2__)
  // Four values at a time: the same single-precision steps, so the same entries.
  const __m128 scale = _mm_set1_ps(4095.0f), level = _mm_set1_ps(pass.level);
  const __m128 zero = _mm_setzero_ps(), top = _mm_set1_ps(4095.0f), half = _mm_set1_ps(0.5f);
  alignas(16) int32_t entries[4];
  for (; i + 4 <= end; i += 4) {
    __m128 index = _mm_div_ps(_mm_mul_ps(_mm_loadu_ps(values + i), scale), level);
    index = _mm_min_ps(_mm_max_ps(index, zero), top);
    _mm_store_si128(reinterpret_cast<__m128i*>(entries), _mm_cvttps_epi32(_mm_add_ps(index, half)));
    pass.pixels[i] = packed[entries[0]];
    pass.pixels[i + 1] = packed[entries[1]];
    pass.pixels[i + 2] = packed[entries[2]];
    pass.pixels[i + 3] = packed[entries[3]];
  }
#endif
  for (; i < end; ++i) pass.pixels[i] = colourOf(values[i], pass.level, packed);
}

}  // namespace

void packColourTable(const ColourTable& table, uint32_t* packed) {
  for (size_t i = 0; i < 4096; ++i) {
    const auto& c = table[i];
    packed[i] = uint32_t(roundHalfUp(c[2])) | (uint32_t(roundHalfUp(c[1])) << 8) |
                (uint32_t(roundHalfUp(c[0])) << 16);
  }
}

void colourPixels(const ScanImage& image, int32_t level, uint32_t* pixels) {
  uint32_t packed[4096];
  packColourTable(image.colourTable, packed);
  const float* values = image.map.value.data();
  const size_t n = image.map.value.size();
  const float fLevel = float(level);
  const int32_t centre = image.map.centreIndex;
  const uint32_t centreKeep = centre >= 0 ? pixels[centre] : 0;
  for (size_t i = 0; i < n; ++i) {
    const float v = values[i];
    int32_t entry = 4095;
    if (v < 4096.0f) {
      const float index = std::clamp(v * 4095.0f / fLevel, 0.0f, 4095.0f);
      entry = roundHalfUp(index);
    }
    pixels[i] = packed[entry];
  }
  if (centre >= 0) pixels[centre] = centreKeep;  // the centre pixel is never coloured
}

void colourEveryPixel(ScanImage& image, int32_t level, uint32_t* pixels, int32_t firstRow,
                      int32_t endRow) {
  const int32_t centre = image.map.centreIndex;
  const uint32_t centreKeep = centre >= 0 ? pixels[centre] : 0;
  const size_t size = size_t(image.map.layout.size);
  const size_t first = size_t(firstRow) * size;
  const size_t count = endRow < 0 ? image.map.value.size() - first : size_t(endRow) * size - first;
  ColouringPass pass{&image, float(level), pixels, 1, first, count};
  if (count >= kParallelPixels) {
    ScanWorkers& workers = scanWorkers(image);
    pass.workers = workers.count();
    workers.run(colourTask, &pass);
  } else {
    colourTask(&pass, 0);
  }
  if (centre >= 0) pixels[centre] = centreKeep;
}

void colourConvertedPixels(const ScanImage& image, int32_t level, uint32_t* pixels) {
  const float* values = image.map.value.data();
  const uint32_t* packed = image.packedColours.data();
  const float fLevel = float(level);
  const EntryScale scale(image.map);
  auto colour = [&](const DegreePixel* list, size_t count) {
    for (size_t n = 0; n < count; ++n) {
      const int32_t i = entryPixel(list[n], scale);
      pixels[i] = colourOf(values[i], fLevel, packed);
    }
  };
  for (int32_t d = 0; d < kDegrees; ++d) {
    const uint8_t parts = image.degreeConverted[d];
    const DegreePixel* list = image.map.degreePixels[size_t(d)].data();
    if (parts & kWindowPart) colour(list, image.map.listed[size_t(d)]);
    if (parts & kOutsidePart) {
      colour(list + image.map.inWindow[size_t(d)], image.map.listedOutside[size_t(d)]);
    }
  }
}

}  // namespace sk720
