#include "app/main_layout.h"

#include <algorithm>

namespace sk720 {

namespace {

// The toolbar's rows in ToolbarItem order: x as the distance left of the right client edge.
struct ToolbarRow {
  int32_t fromRight, y, width, height;
};
constexpr ToolbarRow kToolbarRows[kToolbarItemCount] = {
    {175, 34, 30, 16},    // "Head:"
    {175, 64, 30, 16},    // "GPS:"
    {180, 5, 160, 195},   // device group
    {145, 30, 58, 120},   // head port list
    {85, 30, 58, 120},    // head baud list
    {145, 60, 58, 120},   // GPS port list
    {85, 60, 58, 120},    // GPS baud list
    {170, 90, 68, 32},    // Start
    {98, 90, 68, 32},     // Stop
    {170, 125, 140, 32},  // Hold
    {170, 160, 140, 32},  // Record
    {180, 205, 160, 220}, // quick sonar group
    {100, 229, 70, 120},  // range list
    {100, 261, 70, 120},  // speed list
    {140, 295, 120, 12},  // "Sector mode"
    {100, 320, 70, 120},  // heading list
    {100, 350, 70, 120},  // width list
    {170, 385, 140, 32},  // Apply
    {165, 233, 56, 16},   // "Range:"
    {165, 265, 56, 16},   // "Speed:"
    {175, 324, 72, 16},   // "Heading:"
    {175, 354, 56, 26},   // "Width:"
    {180, 430, 160, 124}, // quick view group
    {165, 450, 46, 16},   // "Constrast:"
    {165, 498, 56, 16},   // "Brightness:"
    {175, 470, 150, 24},  // contrast bar
    {175, 518, 150, 24},  // brightness bar
    {175, 560, 150, 32},  // Sonar settings
    {175, 596, 150, 32},  // View settings
    {175, 632, 90, 32},   // Open File
    {55, 632, 30, 32},    // playback speed
    {85, 632, 30, 32},    // playback pause
};

}  // namespace

MainLayout layoutMainWindow(const LayoutInput& in) {
  MainLayout out;
  out.toolbarWidth = in.toolbarShown ? kToolbarWidth : 0;
  out.minTrackHeight = in.toolbarShown ? kMinTrackHeightShown : kMinTrackHeightHidden;
  const int32_t echoHeight = in.toolbarShown ? kEchoTraceHeight : 0;
  const int32_t H = std::max(in.clientHeight, 0);
  const int32_t workWidth = std::max(in.clientWidth - out.toolbarWidth, 0);

  // Below the scan view, top down: the slider bar while playing, the echo trace when wanted,
  // then the status bar's strip. A client smaller than that leaves the scan view empty.
  int32_t below = kStatusReserve;
  if (in.playbackRunning) below += kSliderHeight;
  if (in.echoTraceOn) below += echoHeight;
  const int32_t scanHeight = std::max(H - below, 0);
  out.scan = {0, 0, workWidth, scanHeight};
  int32_t y = scanHeight;
  if (in.playbackRunning) {
    out.sliderPlaced = true;
    out.slider = {0, y, workWidth, kSliderHeight};
    y += kSliderHeight;
  }
  if (in.echoTraceOn) {
    out.echoPlaced = true;
    out.echo = {0, y, workWidth, echoHeight};
  }

  out.toolbarPlaced = in.toolbarShown;
  if (in.toolbarShown) {
    for (int32_t i = 0; i < kToolbarItemCount; ++i) {
      const ToolbarRow& r = kToolbarRows[i];
      out.toolbar[size_t(i)] = {in.clientWidth - r.fromRight, r.y, r.width, r.height};
    }
  }
  return out;
}

LayoutRect toolbarBackground(int32_t clientWidth, int32_t clientHeight) {
  return {clientWidth - kToolbarWidth, 0, kToolbarWidth,
          std::max(clientHeight - kStatusReserve, 0)};
}

}  // namespace sk720
