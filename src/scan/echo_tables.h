#pragma once
// Preprocessing tables (gain, dead zone), contrast levels, palettes and the colour table.
#include <array>
#include <cstdint>

namespace sk720 {

extern const float kGainFactors[9];
extern const int32_t kDeadZoneSamples[6];
extern const int32_t kContrastLevels[11];  // indexed 1..10; entry 0 unused

struct Rgb {
  uint8_t r, g, b;
};
using Palette = std::array<Rgb, 256>;

// 0 "Brown", 1 "Rainbow", any other value the third palette.
const Palette& paletteFor(int32_t palette);

// Brightness step 0..3 from the brightness setting.
int32_t brightnessStep(int32_t brightness);

using ColourTable = std::array<std::array<float, 3>, 4096>;  // red, green, blue, 0..255
void buildColourTable(int32_t palette, int32_t linear, int32_t brightness, ColourTable& table);

}  // namespace sk720
