// The main window's layout rows, the rules of its stored placement and port lists, and the view
// dialog's fields.
#include "app/main_layout.h"

#include <gtest/gtest.h>

#include <array>

#include "app/placement_rules.h"
#include "app/port_lists.h"
#include "dialogs/view_dialog_rules.h"

namespace sk720 {
namespace {

using V = std::vector<int64_t>;

V rect(const LayoutRect& r, bool placed = true) {
  return placed ? V({r.x, r.y, r.width, r.height}) : V();
}

TEST(MainLayout, WorkAreaByToolbarEchoTraceAndPlayback) {
  // width, height, toolbar, echo trace, playback; scan height and width, slider top (-1: none),
  // echo top and height (-1: none), toolbar width, smallest height
  const int32_t cases[][12] = {{1000, 800, 1, 1, 1, 707, 800, 707, 729, 49, 200, 750},
                               {1000, 800, 1, 0, 1, 756, 800, 756, 0, -1, 200, 750},
                               {1000, 800, 1, 1, 0, 729, 800, -1, 729, 49, 200, 750},
                               {1000, 800, 1, 0, 0, 778, 800, -1, 0, -1, 200, 750},
                               {1000, 800, 0, 1, 1, 756, 1000, 756, 778, 0, 0, 560},
                               {0, 0, 1, 1, 1, 0, 0, 0, 22, 49, 200, 750}};  // minimized
  for (const auto& c : cases) {
    const MainLayout l = layoutMainWindow({c[0], c[1], c[2] != 0, c[3] != 0, c[4] != 0});
    const int32_t w = c[6];
    EXPECT_EQ(V({l.toolbarWidth, l.minTrackHeight, l.toolbarPlaced}), V({c[10], c[11], c[2]}));
    EXPECT_EQ(rect(l.scan), V({0, 0, w, c[5]})) << c[0] << c[2] << c[3] << c[4];
    EXPECT_EQ(rect(l.slider, l.sliderPlaced), c[7] >= 0 ? V({0, c[7], w, 22}) : V());
    EXPECT_EQ(rect(l.echo, l.echoPlaced), c[9] >= 0 ? V({0, c[8], w, c[9]}) : V());
  }
  const MainLayout l = layoutMainWindow({1000, 800, true, true, true});
  EXPECT_EQ(rect(l.item(ToolbarItem::HeadLabel)), V({825, 34, 30, 16}));
  EXPECT_EQ(rect(l.item(ToolbarItem::Stop)), V({902, 90, 68, 32}));
  EXPECT_EQ(rect(l.item(ToolbarItem::PlaySpeed)), V({945, 632, 30, 32}));
  EXPECT_EQ(rect(l.item(ToolbarItem::Pause)), V({915, 632, 30, 32}));
  EXPECT_EQ(rect(toolbarBackground(1000, 800)), V({800, 0, 200, 778}));
}

TEST(PlacementRules, DamagedStylesAndLostRectangles) {
  // Child, disabled and visible bits dropped; the frame bits kept as stored.
  EXPECT_EQ(V({sanitizedStyle(0x58CF0000u), sanitizedStyle(0x40000000u | kStyleCaption),
               sanitizedExStyle(0x00080108u), fullScreenStyle(0x10CF0000u),
               fullScreenExStyle(0x00020309u)}),
            V({kStyleOverlappedWindow, 0x00CB0000u, 0x00000100u, 0x100B0000u, 0x8}));
  const MonitorArea monitors[2] = {{0, 0, 1920, 1080}, {1920, 0, 3840, 1080}};
  // stored left, top, right, bottom; moved, and the rectangle after
  const int32_t cases[][9] = {
      {1800, 100, 2600, 700, 0, 1800, 100, 2600, 700},      // across both: kept
      {1919, 1079, 2600, 1700, 0, 1919, 1079, 2600, 1700},  // one pixel on the first
      {5000, 100, 5800, 700, 1, 3040, 100, 3840, 700},
      {1920, 1080, 2600, 1700, 1, 1240, 460, 1920, 1080},
      {100, 1200, 700, 1300, 1, 100, 980, 700, 1080},
      {-4000, -3000, -1000, -1000, 1, 0, 0, 1920, 1080},  // too big and far away
      {100, 100, 50, 50, 1, 50, 50, 50 + kMinTrackWidth, 50 + kMinTrackHeightShown},  // inverted
      {100, 100, 100, 700, 1, 100, 100, 100 + kMinTrackWidth, 100 + kMinTrackHeightShown},  // empty
      {3000, 500, 3000, 900, 1, 3000, 330, 3620, 1080}};
  for (const auto& c : cases) {
    WindowPlacement p{.left = c[0], .top = c[1], .right = c[2], .bottom = c[3]};
    EXPECT_EQ(placeOnMonitors(p, monitors, 2), c[4] != 0) << c[0] << "," << c[1];
    EXPECT_EQ(V({p.left, p.top, p.right, p.bottom}), V({c[5], c[6], c[7], c[8]}));
  }
  WindowPlacement p{.left = 5000, .right = 5001};
  EXPECT_FALSE(placeOnMonitors(p, nullptr, 0) || placeOnMonitors(p, monitors, 0));
}

TEST(PortLists, SelectionsByNumberAndBaudDefaults) {
  std::vector<PortListEntry> ports = {{7, L"COM7"}, {3, L"COM3"}, {12, L"COM12"}};
  sortPortsByNumber(ports);
  EXPECT_EQ(ports[0].name + ports[1].name + ports[2].name, L"COM3COM7COM12");
  // number: head selection, GPS selection ("N/A" first)
  for (const auto& [n, head, gps] : {std::array{12, 2, 3}, {3, 0, 1}, {5, 0, 0}, {0, 0, 0}}) {
    EXPECT_EQ(V({headPortSelection(ports, n), gpsPortSelection(ports, n)}), V({head, gps})) << n;
  }
  EXPECT_EQ(headPortSelection({}, 5), -1);
  // selection: head port, GPS port
  for (const auto& [s, head, gps] :
       {std::array{-1, 0, 0}, {0, 3, 0}, {1, 7, 3}, {2, 12, 7}, {3, 0, 12}, {4, 0, 0}}) {
    EXPECT_EQ(V({headPortNumberAt(ports, s), gpsPortNumberAt(ports, s)}), V({head, gps})) << s;
  }
  // stored rate, readable: head and GPS selections
  const int64_t bauds[][4] = {{460800, 1, 2, 0}, {460800, 0, 3, 0}, {57600, 1, 3, 4},
                              {115200, 1, 0, 5}, {115200, 0, 3, 0}, {1000000, 1, 4, 0},
                              {4800, 1, 3, 0},   {9600, 1, 3, 1},   {1, 1, 3, 0}};
  for (const auto& [baud, readable, head, gps] : bauds) {
    EXPECT_EQ(V({headBaudSelection(uint32_t(baud), readable != 0),
                 gpsBaudSelection(uint32_t(baud), readable != 0)}),
              V({head, gps}))
        << baud;
  }
}

TEST(ViewDialogRules, OffsetFieldReadsLeadingNumberAndKeepsThePreviousOtherwise) {
  const std::pair<const char16_t*, int32_t> read[] = {
      {u"-90", -90}, {u" \t\r\n\v\f+45deg", 45}, {u"0", 0},
      {u"9x", 9},    {u"2147483647", INT32_MAX}, {u"-2147483648", INT32_MIN}};
  for (const auto& [text, value] : read)
    EXPECT_EQ(parseOffsetField(text, 7), value) << std::u16string(text).size();
  for (const char16_t* kept : {u"deg 45", u"", u"-", u"+", u"/", u":", u"2147483648",
                               u"-2147483649", u"99999999999999999999"})
    EXPECT_EQ(parseOffsetField(kept, 7), 7) << std::u16string(kept).size();
}

// The dialog's Default button differs from the start-up values only in the contrast.
TEST(ViewDialogRules, DefaultsAndTheCompassTemplate) {
  const ViewSettings d = viewDialogDefaults();
  EXPECT_EQ(V({d.autoContrast, d.contrast, d.brightness}), V({1, 3, 9}));
  ViewSettings rest = d;
  const ViewSettings s;
  rest.autoContrast = s.autoContrast;
  rest.contrast = s.contrast;
  rest.brightness = s.brightness;
  EXPECT_EQ(viewSettingsToBlob(rest), viewSettingsToBlob(s));
  // The stored record: 21 little-endian words, the float scale third; read and written whole.
  ViewSettingsBlob words{};
  for (size_t i = 0; i < words.size(); i += 4) words[i] = uint8_t(i / 4 + 1), words[i + 1] = 1;
  ViewSettings v;
  EXPECT_FALSE(viewSettingsFromBlob(words.data(), words.size() - 1, v));
  ASSERT_TRUE(viewSettingsFromBlob(words.data(), words.size(), v));
  EXPECT_EQ(V({v.displayEnabled, v.palette, v.contrast, v.zeroOffset, v.toolbarVisible}),
            V({0x101, 0x102, 0x108, 0x114, 0x115}));
  EXPECT_EQ(viewSettingsToBlob(v), words);
  EXPECT_EQ(V({viewDialogTemplate(1, 1), viewDialogTemplate(1, 0), viewDialogTemplate(0, 1),
               viewDialogTemplate(0, 0)}),
            V({kViewTemplateCompass, kViewTemplatePlain, kViewTemplatePlain, kViewTemplatePlain}));
}

}  // namespace
}  // namespace sk720
