#pragma once
// Where the main window's children go: the work area (scan view, slider bar,
// echo trace) and the toolbar column at the right. A pure function of the
// client size and three switches.
#include <array>
#include <cstddef>
#include <cstdint>

namespace sk720 {

struct LayoutRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const LayoutRect &) const = default;
};

// The toolbar controls the layout places, in the order of their rows in the
// toolbar table.
enum class ToolbarItem : int32_t {
  HeadLabel,
  GpsLabel,
  DeviceGroup,
  HeadPortList,
  HeadBaudList,
  GpsPortList,
  GpsBaudList,
  Start,
  Stop,
  Hold,
  Record,
  QuickSonarGroup,
  RangeList,
  SpeedList,
  SectorCheck,
  HeadingList,
  WidthList,
  Apply,
  RangeLabel,
  SpeedLabel,
  HeadingLabel,
  WidthLabel,
  QuickViewGroup,
  ContrastLabel,
  BrightnessLabel,
  ContrastBar,
  BrightnessBar,
  SonarSettings,
  ViewSettings,
  OpenFile,
  PlaySpeed,
  Pause,
  Count
};
constexpr int32_t kToolbarItemCount = int32_t(ToolbarItem::Count);

constexpr int32_t kToolbarWidth = 200;
constexpr int32_t kEchoTraceHeight = 49;
constexpr int32_t kSliderHeight = 22;
constexpr int32_t kStatusReserve = 22; // the status bar's strip at the bottom
constexpr int32_t kMinTrackWidth = 620;
constexpr int32_t kMinTrackHeightShown = 750;
constexpr int32_t kMinTrackHeightHidden = 560;

struct LayoutInput {
  int32_t clientWidth = 0;
  int32_t clientHeight = 0;
  bool toolbarShown = true;
  bool echoTraceOn = true; // ViewSettings.echogram == 1
  bool playbackRunning = false;
};

struct MainLayout {
  int32_t toolbarWidth = 0;
  int32_t minTrackHeight = 0;
  LayoutRect scan;
  bool sliderPlaced = false; // windows not placed keep their last place
  LayoutRect slider;
  bool echoPlaced = false;
  LayoutRect echo;
  bool toolbarPlaced = false; // false: hide exactly the toolbar controls
  std::array<LayoutRect, kToolbarItemCount> toolbar{};

  const LayoutRect &item(ToolbarItem i) const { return toolbar[size_t(i)]; }
};

MainLayout layoutMainWindow(const LayoutInput &in);

// The strip the main window paints itself: toolbar column from the top down to
// the status bar.
LayoutRect toolbarBackground(int32_t clientWidth, int32_t clientHeight);

} // namespace sk720
