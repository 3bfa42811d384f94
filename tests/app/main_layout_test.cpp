// The main window's layout rows and the rules of its stored placement and port lists.
#include "app/main_layout.h"

#include <gtest/gtest.h>

#include "app/placement_rules.h"
#include "app/port_lists.h"

namespace sk720 {
namespace {

TEST(MainLayout, WorkAreaByToolbarEchoTraceAndPlayback) {
  MainLayout l = layoutMainWindow({1000, 800, true, true, true});
  EXPECT_EQ(l.toolbarWidth, 200);
  EXPECT_EQ(l.minTrackHeight, 750);
  EXPECT_EQ(l.scan, (LayoutRect{0, 0, 800, 707}));
  ASSERT_TRUE(l.sliderPlaced && l.echoPlaced && l.toolbarPlaced);
  EXPECT_EQ(l.slider, (LayoutRect{0, 707, 800, 22}));
  EXPECT_EQ(l.echo, (LayoutRect{0, 729, 800, 49}));
  EXPECT_EQ(l.item(ToolbarItem::HeadLabel), (LayoutRect{825, 34, 30, 16}));
  EXPECT_EQ(l.item(ToolbarItem::Stop), (LayoutRect{902, 90, 68, 32}));
  EXPECT_EQ(l.item(ToolbarItem::WidthLabel), (LayoutRect{825, 354, 56, 26}));
  EXPECT_EQ(l.item(ToolbarItem::PlaySpeed), (LayoutRect{945, 632, 30, 32}));
  EXPECT_EQ(l.item(ToolbarItem::Pause), (LayoutRect{915, 632, 30, 32}));

  l = layoutMainWindow({1000, 800, true, false, true});  // playback only
  EXPECT_EQ(l.scan, (LayoutRect{0, 0, 800, 756}));
  EXPECT_EQ(l.slider, (LayoutRect{0, 756, 800, 22}));
  EXPECT_FALSE(l.echoPlaced);

  l = layoutMainWindow({1000, 800, true, true, false});  // echo trace only
  EXPECT_EQ(l.scan, (LayoutRect{0, 0, 800, 729}));
  EXPECT_EQ(l.echo, (LayoutRect{0, 729, 800, 49}));
  EXPECT_FALSE(l.sliderPlaced);

  l = layoutMainWindow({1000, 800, true, false, false});
  EXPECT_EQ(l.scan, (LayoutRect{0, 0, 800, 778}));

  l = layoutMainWindow({1000, 800, false, true, true});  // hidden: full width, no echo height
  EXPECT_EQ(l.toolbarWidth, 0);
  EXPECT_EQ(l.minTrackHeight, 560);
  EXPECT_FALSE(l.toolbarPlaced);
  EXPECT_EQ(l.scan, (LayoutRect{0, 0, 1000, 756}));
  EXPECT_EQ(l.slider, (LayoutRect{0, 756, 1000, 22}));
  EXPECT_EQ(l.echo, (LayoutRect{0, 778, 1000, 0}));

  l = layoutMainWindow({0, 0, true, true, true});  // minimized: nothing negative
  EXPECT_EQ(l.scan, (LayoutRect{0, 0, 0, 0}));
  EXPECT_EQ(toolbarBackground(1000, 800), (LayoutRect{800, 0, 200, 778}));
}

TEST(PlacementRules, DamagedStylesAndLostRectangles) {
  // Child, disabled and visible bits dropped; the frame bits kept as stored.
  EXPECT_EQ(sanitizedStyle(0x58CF0000u), kStyleOverlappedWindow);
  EXPECT_EQ(sanitizedStyle(0x40000000u | kStyleCaption), 0x00CB0000u);  // no sizing frame
  EXPECT_EQ(sanitizedExStyle(0x00080008u | 0x00000100u), 0x00000100u);  // layered, topmost
  EXPECT_EQ(fullScreenStyle(0x10CF0000u), 0x100B0000u);
  EXPECT_EQ(fullScreenExStyle(0x00020308u), 0x00000008u);

  const MonitorArea monitors[2] = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}};
  WindowPlacement p;
  p.left = 1800, p.top = 100, p.right = 2600, p.bottom = 700;  // across both: kept
  EXPECT_FALSE(placeOnMonitors(p, monitors, 2));
  EXPECT_EQ(p.left, 1800);

  p.left = 5000, p.right = 5800;  // right of the second monitor
  EXPECT_TRUE(placeOnMonitors(p, monitors, 2));
  EXPECT_EQ(p.left, 3040);
  EXPECT_EQ(p.right, 3840);
  EXPECT_EQ(p.top, 100);

  p.left = -4000, p.top = -3000, p.right = -1000, p.bottom = -1000;  // too big and far away
  EXPECT_TRUE(placeOnMonitors(p, monitors, 2));
  EXPECT_EQ(p.left, 0);
  EXPECT_EQ(p.top, 0);
  EXPECT_EQ(p.right, 1920);
  EXPECT_EQ(p.bottom, 1080);

  p.left = 100, p.top = 100, p.right = 50, p.bottom = 50;  // inverted
  EXPECT_TRUE(placeOnMonitors(p, monitors, 2));
  EXPECT_EQ(p.right - p.left, kMinTrackWidth);
  EXPECT_EQ(p.bottom - p.top, kMinTrackHeightShown);
  EXPECT_EQ(p.left, 50);
  EXPECT_EQ(p.top, 50);
  EXPECT_FALSE(placeOnMonitors(p, nullptr, 0));
}

TEST(PortLists, SelectionsByNumberAndBaudDefaults) {
  std::vector<PortListEntry> ports = {{7, L"COM7"}, {3, L"COM3"}, {12, L"COM12"}};
  sortPortsByNumber(ports);
  EXPECT_EQ(ports[0].name, L"COM3");
  EXPECT_EQ(ports[2].name, L"COM12");
  EXPECT_EQ(headPortSelection(ports, 12), 2);
  EXPECT_EQ(headPortSelection(ports, 5), 0);
  EXPECT_EQ(headPortSelection({}, 5), -1);
  EXPECT_EQ(gpsPortSelection(ports, 12), 3);
  EXPECT_EQ(gpsPortSelection(ports, 5), 0);
  EXPECT_EQ(headPortNumberAt(ports, 1), 7u);
  EXPECT_EQ(headPortNumberAt(ports, 3), 0u);
  EXPECT_EQ(gpsPortNumberAt(ports, 0), 0u);
  EXPECT_EQ(gpsPortNumberAt(ports, 1), 3u);
  EXPECT_EQ(gpsPortNumberAt(ports, -1), 0u);

  EXPECT_EQ(headBaudSelection(460800, true), 2);
  EXPECT_EQ(headBaudSelection(460800, false), 3);
  EXPECT_EQ(headBaudSelection(9600, true), 3);
  EXPECT_EQ(gpsBaudSelection(57600, true), 4);
  EXPECT_EQ(gpsBaudSelection(1, true), 0);
}

}  // namespace
}  // namespace sk720
