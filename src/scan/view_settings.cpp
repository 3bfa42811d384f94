#include "scan/view_settings.h"

#include <algorithm>

#include "base/byte_order.h"

namespace sk720 {

namespace {
// The blob's word order; word 2 is the float.
template <typename F>
void eachField(ViewSettings& v, F&& f) {
  int32_t* words[] = {&v.displayEnabled,
                      &v.palette,
                      nullptr,
                      &v.gainIndex,
                      &v.deadZoneIndex,
                      &v.grid,
                      &v.autoContrast,
                      &v.contrast,
                      &v.brightness,
                      &v.linear,
                      &v.pointer,
                      &v.echogram,
                      &v.fitToWindow,
                      &v.hold,
                      &v.reserved56,
                      &v.compassEnabled,
                      &v.zeroAlwaysUp,
                      &v.showInfo,
                      &v.playbackContinuously,
                      &v.zeroOffset,
                      &v.toolbarVisible};
  static_assert(sizeof(words) / sizeof(words[0]) * 4 == kViewSettingsBlobSize);
  for (size_t i = 0; i < sizeof(words) / sizeof(words[0]); ++i) f(i * 4, words[i]);
}
}  // namespace

ViewSettingsBlob viewSettingsToBlob(const ViewSettings& in) {
  ViewSettings v = in;
  ViewSettingsBlob b{};
  eachField(v, [&](size_t off, int32_t* w) {
    if (w)
      storeI32(b.data() + off, *w);
    else
      storeF32(b.data() + off, v.reservedScale);
  });
  return b;
}

bool viewSettingsFromBlob(const uint8_t* data, size_t size, ViewSettings& out) {
  if (!data || size != kViewSettingsBlobSize) return false;
  ViewSettings v;
  eachField(v, [&](size_t off, int32_t* w) {
    if (w)
      *w = loadI32(data + off);
    else
      v.reservedScale = loadF32(data + off);
  });
  out = v;
  return true;
}

int32_t clampedGainIndex(const ViewSettings& v) { return std::clamp(v.gainIndex, 0, 8); }
int32_t clampedDeadZoneIndex(const ViewSettings& v) { return std::clamp(v.deadZoneIndex, 0, 5); }
int32_t clampedContrast(const ViewSettings& v) { return std::clamp(v.contrast, 1, 10); }
int32_t clampedBrightness(const ViewSettings& v) { return std::clamp(v.brightness, 0, 19); }

}  // namespace sk720
