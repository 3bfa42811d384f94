#include "scan/echo_tables.h"

#include <algorithm>
#include <cmath>

namespace sk720 {

const float kGainFactors[9] = {0.5f, 1.0f, 1.2f, 1.5f, 1.7f, 2.0f, 4.0f, 6.0f, 8.0f};
const int32_t kDeadZoneSamples[6] = {0, 10, 20, 30, 60, 100};
const int32_t kContrastLevels[11] = {0, 4095, 2047, 1023, 511, 255, 128, 63, 31, 15, 7};

namespace {

uint8_t toByte(float x) { return uint8_t(int32_t(255.0f * x + 0.5f)); }

Palette brownPalette() {
  Palette p{};
  for (int i = 1; i < 256; ++i) {
    const float l = float(i) / 255.0f;
    const float q = l <= 0.5f ? 2.0f * l : 1.0f;
    const float lo = 2.0f * l - q;
    p[i] = {toByte(q), toByte(lo + (q - lo) * 2.0f / 3.0f), toByte(lo)};
  }
  return p;
}

Palette rainbowPalette() {
  Palette p{};
  for (int i = 16; i < 256; ++i) {
    const float hue = 270.0f - float(i) * (270.0f / 255.0f);
    const float h = hue / 360.0f * 6.0f;
    const int sector = int(h);
    const float f = h - float(sector);
    float r = 0, g = 0, b = 0;
    switch (sector) {
      case 0:
        r = 1;
        g = f;
        b = 0;
        break;
      case 1:
        r = 1 - f;
        g = 1;
        b = 0;
        break;
      case 2:
        r = 0;
        g = 1;
        b = f;
        break;
      case 3:
        r = 0;
        g = 1 - f;
        b = 1;
        break;
      case 4:
        r = f;
        g = 0;
        b = 1;
        break;
      default:
        r = 1;
        g = 0;
        b = 1 - f;
        break;
    }
    p[i] = {toByte(r), toByte(g), toByte(b)};
  }
  return p;
}

uint8_t polyByte(double v) { return uint8_t(std::clamp(std::trunc(v), 0.0, 255.0)); }

Palette defaultPalette() {
  Palette p{};
  for (int i = 0; i < 256; ++i) {
    const double x = i, x2 = x * x, x3 = x2 * x, x4 = x3 * x;
    p[i] = {polyByte(3e-7 * x4 - 2e-5 * x3 + 0.0184 * x2 + 1.426 * x + 7.9738),
            polyByte(1e-7 * x4 - 5e-5 * x3 + 0.007 * x2 + 1.0701 * x + 0.1678),
            polyByte(0.0002 * x3 - 4e-7 * x4 - 0.02 * x2 + 0.6163 * x - 0.0378)};
  }
  return p;
}

const Palette kBrown = brownPalette();
const Palette kRainbow = rainbowPalette();
const Palette kDefault = defaultPalette();

// Power curve exponents by brightness step; the range of brightness reaches only the first four.
const float kLogExponents[10] = {1.0f, 0.9f, 0.8f, 0.75f, 0.7f, 0.65f, 0.6f, 0.3f, 0.2f, 0.05f};

}  // namespace

const Palette& paletteFor(int32_t palette) {
  if (palette == 0) return kBrown;
  if (palette == 1) return kRainbow;
  return kDefault;
}

int32_t brightnessStep(int32_t brightness) {
  brightness = std::clamp(brightness, 0, 19);
  return std::max((brightness + 1) / 5 - 1, 0);
}

void buildColourTable(int32_t palette, int32_t linear, int32_t brightness, ColourTable& table) {
  const Palette& pal = paletteFor(palette);
  const int32_t k = brightnessStep(brightness);
  const double lo = 12.75 * k;
  const float g = kLogExponents[k];
  const float top = float(std::pow(4096.0, double(g)));
  for (int i = 0; i < 4096; ++i) {
    int32_t p;
    if (linear == 1) {
      p = int32_t(float(double(i) * (255.0 - lo) / 4095.0 + lo));
    } else {
      const float up = float(std::pow(double(i + 1), double(g)));
      p = std::min(int32_t(up * 255.0f / top + 0.5f), 255);
    }
    p = std::clamp(p, 0, 255);
    table[i] = {float(pal[p].r), float(pal[p].g), float(pal[p].b)};
  }
}

}  // namespace sk720
