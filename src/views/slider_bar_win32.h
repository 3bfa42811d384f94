#pragma once
// The playback slider bar ("RadarSliderbar class"): where playback is in the
// current file, and seeking by arrows, track clicks and dragging the thumb.
#include <windows.h>

namespace sk720 {

extern const wchar_t kSliderBarClass[];
bool registerSliderBarClass(HINSTANCE instance);

} // namespace sk720
