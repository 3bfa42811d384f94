#pragma once
// The display settings record, stored as one 84-byte little-endian blob.
#include <array>
#include <cstddef>
#include <cstdint>

namespace sk720 {

struct ViewSettings {
  int32_t displayEnabled = 1;
  int32_t palette = 0;  // 0 Brown, 1 Rainbow, anything else the third palette
  float reservedScale = 1.0f;
  int32_t gainIndex = 1;
  int32_t deadZoneIndex = 3;
  int32_t grid = 1;
  int32_t autoContrast = 0;
  int32_t contrast = 5;
  int32_t brightness = 3;
  int32_t linear = 1;
  int32_t pointer = 1;
  int32_t echogram = 1;
  int32_t fitToWindow = 1;
  int32_t hold = 0;
  int32_t reserved56 = 0;
  int32_t compassEnabled = 0;
  int32_t zeroAlwaysUp = 1;
  int32_t showInfo = 1;
  int32_t playbackContinuously = 1;
  int32_t zeroOffset = 0;
  int32_t toolbarVisible = 1;
};

constexpr size_t kViewSettingsBlobSize = 84;
using ViewSettingsBlob = std::array<uint8_t, kViewSettingsBlobSize>;

ViewSettingsBlob viewSettingsToBlob(const ViewSettings& v);
// False (and v untouched) unless the blob is exactly 84 bytes.
bool viewSettingsFromBlob(const uint8_t* data, size_t size, ViewSettings& v);

// A damaged stored record may hold any value: every table lookup goes through these.
int32_t clampedGainIndex(const ViewSettings& v);
int32_t clampedDeadZoneIndex(const ViewSettings& v);
int32_t clampedContrast(const ViewSettings& v);
int32_t clampedBrightness(const ViewSettings& v);

}  // namespace sk720
