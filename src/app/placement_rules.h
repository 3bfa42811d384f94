#pragma once
// The main window's stored placement: what of a stored style is applied, and
// where a stored rectangle may go. Stored format unchanged; this only decides
// what is trusted.
#include <cstdint>

#include "settings/settings_store.h"

namespace sk720 {

// Window style bits as the system numbers them.
constexpr uint32_t kStyleOverlappedWindow = 0x00CF0000u;  // caption, sysmenu, frame, min, max
constexpr uint32_t kStyleCaption = 0x00C00000u;
constexpr uint32_t kStyleThickFrame = 0x00040000u;
constexpr uint32_t kExStyleFullScreenBits = 0x00000001u | 0x00000100u | 0x00000200u | 0x00020000u;
// (dialog-modal frame, window edge, client edge, static edge)

struct MonitorArea {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The style to apply: the overlapped-window style, with only the frame bits the
// program toggles (caption and sizing frame) taken from the stored value.
// Damaged bits (child, disabled, popup,
// ...) are never applied.
uint32_t sanitizedStyle(uint32_t storedStyle);
uint32_t sanitizedExStyle(uint32_t storedExStyle);

// Moves a stored rectangle onto the nearest of the monitors when it lies on
// none, shrinking it to fit; a rectangle that overlaps a monitor is kept.
// Returns true when it changed.
bool placeOnMonitors(WindowPlacement& p, const MonitorArea* monitors, int32_t monitorCount);

// The style with the full-screen frame removed, for entering full screen.
uint32_t fullScreenStyle(uint32_t style);
uint32_t fullScreenExStyle(uint32_t exStyle);

}  // namespace sk720
