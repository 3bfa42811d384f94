// The live and playback commands' decisions: connection watch, connect requests, list
// selections, the tunable fields and the working values derived from a stored record; the speed
// button's cycle, the open-file selection and the record file's first bytes; the main window's
// layout rows, the rules of its stored placement and port lists, and the view dialog's fields.
#include "live/live_rules.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "app/main_layout.h"
#include "app/placement_rules.h"
#include "app/playback_commands.h"
#include "app/port_lists.h"
#include "dialogs/notice_rules.h"
#include "dialogs/view_dialog_rules.h"

namespace sk720 {
namespace {

using V = std::vector<int64_t>;

TEST(ConnectionWatch, IdlePortIsClosedAtTheSeventhTickAndAnEndedLoopAtOnce) {
  const char* kDebug[] = {"", "pappdata->connectiontimeout++\n", "Working thread is running\n",
                          "Working thread is running\nWorking thread receives nothing\n",
                          "Working thread is exited\n"};
  // One watch after another, each seeing what the one before left in its memory: connecting,
  // loop started, stop asked, port open, loop running, loop number, records; timeout in; action
  // (WatchAction in its order), timeout out, debug lines after the tick's own.
  const int64_t steps[][11] = {
      {0, 0, 0, 1, 0, 0, 0, 5, 0, 6, 1},  // the port stays open without a loop
      {0, 0, 0, 1, 0, 0, 0, 6, 1, 7, 1},  // the seventh tick closes it
      {1, 0, 0, 1, 0, 0, 0, 6, 0, 6, 0},  // the connect thread owns the port while it runs
      {0, 0, 0, 0, 0, 0, 0, 3, 0, 3, 0},  // a closed port is not counted
      {0, 1, 0, 1, 1, 1, 500, 4, 0, 0, 2},
      {0, 1, 0, 1, 1, 1, 900, 0, 0, 0, 2},
      {0, 1, 0, 1, 1, 2, 900, 0, 0, 0, 2},  // a new loop is not silent for the old one's count
      {0, 1, 0, 1, 1, 2, 900, 0, 3, 0, 3},  // nothing for a whole tick: the head is gone
      {0, 1, 0, 1, 0, 2, 900, 3, 2, 0, 4},  // the loop ended: the cable was pulled
      {0, 1, 0, 0, 0, 2, 900, 0, 0, 0, 4},
      {0, 1, 1, 1, 0, 0, 0, 2, 0, 2, 0},  // after Stop nothing is watched
  };
  WatchMemory m;
  for (const auto& s : steps) {
    const WatchInput in{s[0] != 0, s[1] != 0,      s[2] != 0,     s[3] != 0,
                        s[4] != 0, uint32_t(s[5]), uint64_t(s[6])};
    const WatchStep got = connectionWatch(in, int32_t(s[7]), m);
    std::string debug;
    for (const char* d : got.debug) debug += d;
    EXPECT_EQ(V({int(got.action), got.timeout}), V({s[8], s[9]})) << kDebug[s[10]];
    EXPECT_EQ(debug, "\r\nTimerID == 3\r\n" + std::string(kDebug[s[10]]));
  }
}

TEST(ConnectChoice, NoHeadPortStartsNothingAndMissingSelectionsTakeDefaults) {
  // head port, GPS port, head and GPS baud selections; ok, head baud, GPS baud. A selection
  // outside its list (-1: none) keeps the default, the last in the list counts.
  const int32_t cases[][7] = {{0, 3, 3, 1, 0, 0, 0},           {7, 0, 4, 5, 1, 1000000, 0},
                              {7, 8, -1, -1, 1, 921600, 4800}, {7, 8, 0, 2, 1, 115200, 19200},
                              {7, 8, 5, 6, 1, 921600, 4800},   {7, 8, 1, 5, 1, 230400, 115200}};
  for (const auto& c : cases) {
    const ConnectChoice got = connectChoice(uint32_t(c[0]), uint32_t(c[1]), c[2], c[3]);
    EXPECT_EQ(V({got.ok, got.headPortNumber, got.gpsPortNumber, got.headBaud, got.gpsBaud}),
              V({c[4], c[4] ? c[0] : 0, c[4] ? c[1] : 0, c[5], c[6]}))
        << c[0] << " " << c[1] << " " << c[2] << " " << c[3];
  }
}

// What is shown in the three-character fields is what Set sends, and a second Set changes
// nothing more; the start derives from the stored record what Set would.
TEST(SonarDialogValues, WhatIsShownIsWhatSetSendsAndTheStartDerives) {
  SonarSettings s;
  const auto shown = [&] {
    const TunableTexts t = tunableTexts(s);
    return t.centralFrequencyKhz + "/" + t.bandwidthKhz + "/" + t.tvgSlope;
  };
  EXPECT_EQ(shown(), "860/80/1.0");
  s.centralFrequency = 1000000, s.bandwidth = 123456, s.tvgSlope = 1000;  // 12.5
  EXPECT_EQ(shown(), "100/123/12.");
  for (int set = 0; set < 2; ++set) {
    SonarParams p;
    applySonarDialog(s, p, sonarDialogValuesOf(s, true), 115200);
    EXPECT_EQ(V({p.centralFrequency, p.bandwidth, p.tvgSlope}), V({100000, 123000, 960}));
  }

  // The stored record drives the head from the first start.
  s = {};
  s.headUp = s.rotationIndex = s.sectorEnabled = 1;
  s.cwLengthIndex = 7, s.sectorHeadingIndex = 2, s.centralFrequency = 750000, s.tvgSlope = 120;
  for (const bool tunable : {false, true}) {
    SonarParams p;
    SonarSettings copy = s;
    deriveStartParams(copy, p, tunable, 921600);
    // Only the tunable form sends the stored tuning.
    EXPECT_EQ(V({p.headUp, p.reverse, p.cwLength, p.sectorHeading, p.centralFrequency, p.tvgSlope,
                 copy.centralFrequency}),
              V({1, 0, 100, sectorHeadingAt(2, true), tunable ? 750000 : 860000,
                 tunable ? 120 : SonarParams{}.tvgSlope, 750000}));
  }
}

TEST(StartFailure, RecordBlinkAndNoticeTimes) {
  // Each result in its order: 2 for closing the link, 1 for the parameters notice.
  V got;
  for (int32_t r = 0; r <= int32_t(StartResult::Cancelled); ++r) {
    const StartFailure f = startFailure(StartResult(r));
    got.push_back(f.closeLink * 2 + f.parametersNotice);
  }
  EXPECT_EQ(got, V({0, 0, 0, 0, 3, 2, 2, 0}));
  int32_t counter = 0;
  V blink;
  for (const bool on : {true, true, true, false})
    blink.push_back(int(recordBlinkStep(on, counter)));
  EXPECT_EQ(blink, V({int(RecordButtonText::Recording), int(RecordButtonText::Blank),
                      int(RecordButtonText::Recording), int(RecordButtonText::Record)}));
  EXPECT_EQ(counter, 0);
  // Done is a glance; a failure stays long enough to read.
  EXPECT_EQ(V({noticeShowMs(NoticeKind::Done, 300), noticeShowMs(NoticeKind::Failure, 27),
               noticeShowMs(NoticeKind::Failure, 90), noticeShowMs(NoticeKind::Failure, 1000)}),
            V({500, 2000, 5940, 8000}));
}

using W = std::vector<std::wstring>;

// The dialog's buffer for these entries (each and a zero, then one more zero), parsed without its
// last `cut` characters.
W selection(const W& entries, bool several, size_t cut = 0) {
  std::wstring b;
  for (const std::wstring& e : entries) b += e + L'\0';
  return parseOpenFileSelection(b.c_str(), b.size() + 1 - cut, several);
}

TEST(PlaybackCommands, SelectionOfOneAndSeveralFiles) {
  // Longer than the system's classic path limit: joined whole, the open decides.
  const std::wstring folder = L"C:\\" + std::wstring(250, L'd');
  const std::wstring name = std::wstring(100, L'n') + L".bin";
  const std::tuple<W, bool, W> cases[] = {
      {{L"C:\\rec\\a.bin"}, false, {L"C:\\rec\\a.bin"}},
      {{L"C:\\rec", L"b.bin", L"a.bin"}, true, {L"C:\\rec\\b.bin", L"C:\\rec\\a.bin"}},
      {{L"D:\\", L"a.bin"}, true, {L"D:\\a.bin"}},  // a drive's root has its separator
      {{L"/mnt/rec/", L"a.bin"}, true, {L"/mnt/rec/a.bin"}},
      {{L"C:\\rec"}, true, {}},
      {{L""}, false, {}},
      {{folder, name}, true, {folder + L"\\" + name}},
  };
  for (const auto& [entries, several, paths] : cases) EXPECT_EQ(selection(entries, several), paths);
  W many = {L"C:\\rec"};
  for (int i = 0; i < 300; ++i) many.push_back(L"f" + std::to_wstring(i) + L".bin");
  const W paths = selection(many, true);
  ASSERT_EQ(paths.size(), kMaxPlaybackFiles);
  EXPECT_EQ(paths.back(), L"C:\\rec\\f255.bin");

  // A name cut off by the end of the buffer is not opened under a wrong name.
  const W three = {L"C:\\rec", L"a.bin", L"bbbb.bin"};
  EXPECT_EQ(selection(three, true, 2), W{L"C:\\rec\\a.bin"});
  EXPECT_EQ(selection(three, true, 1).size(), 2u);
  EXPECT_TRUE(parseOpenFileSelection(nullptr, 6, false).empty());
}

// "DATA", then a little-endian length above 16 at byte 12; the speed button names what the next
// click does: double the speed, or back to normal play.
TEST(PlaybackCommands, RecordFileStartAndSpeedButtonCycle) {
  const std::array<uint8_t, 16> start = {'D', 'A', 'T', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 17, 0, 0, 0};
  EXPECT_FALSE(isRecordFileStart(start.data(), 15));
  // byte changed, its value; a record file start (16 read big-endian would be far above 16)
  const int cases[][3] = {{12, 17, 1}, {12, 16, 0}, {13, 1, 1},  {14, 1, 1}, {15, 1, 1},
                          {0, 'a', 0}, {1, 'a', 0}, {2, 'a', 0}, {3, 'a', 0}};
  for (const auto& [at, value, ok] : cases) {
    std::array<uint8_t, 16> bytes = start;
    if (at > 12) bytes[12] = 0;  // each byte of the length counts, little-endian
    bytes[at] = uint8_t(value);
    EXPECT_EQ(isRecordFileStart(bytes.data(), 16), ok != 0) << at;
  }
  const std::tuple<int32_t, int32_t, const wchar_t*> steps[] = {
      {1, 2, L"x4"}, {8, 16, L"\u25BA"}, {16, 1, L"x2"}, {0, 1, L"x2"}};
  for (const auto& [current, next, text] : steps) {
    const SpeedStep step = nextPlaybackSpeed(current);
    EXPECT_TRUE(step.speed == next && step.text == text) << current;
  }
  EXPECT_EQ(speedButtonText(0), L"\u25BA");
}

V rect(const LayoutRect& r, bool placed = true) {
  return placed ? V({r.x, r.y, r.width, r.height}) : V();
}

TEST(MainLayout, WorkAreaByToolbarEchoTraceAndPlayback) {
  // width, height, toolbar, echo trace, playback; scan height and width, slider top (-1: none),
  // echo top and height (-1: none), toolbar width, smallest height
  const int32_t cases[][12] = {{1000, 800, 1, 1, 1, 707, 800, 707, 729, 49, 200, 750},
                               {1000, 800, 1, 0, 1, 756, 800, 756, 0, -1, 200, 750},
                               {1000, 800, 1, 1, 0, 729, 800, -1, 729, 49, 200, 750},
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
  EXPECT_EQ(rect(l.item(ToolbarItem::Stop)), V({902, 90, 68, 32}));
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
      {1919, 1079, 2600, 1700, 0, 1919, 1079, 2600, 1700},  // one pixel on the first: kept
      {5000, 100, 5800, 700, 1, 3040, 100, 3840, 700},
      {1920, 1080, 2600, 1700, 1, 1240, 460, 1920, 1080},
      {100, 1200, 700, 1300, 1, 100, 980, 700, 1080},
      {-4000, -3000, -1000, -1000, 1, 0, 0, 1920, 1080},  // too big and far away
      {100, 100, 50, 50, 1, 50, 50, 50 + kMinTrackWidth, 50 + kMinTrackHeightShown},  // inverted
      {100, 100, 700, 100, 1, 100, 100, 100 + kMinTrackWidth, 100 + kMinTrackHeightShown},  // flat
      {3000, 500, 3000, 900, 1, 3000, 330, 3620, 1080},  // thin, on the second
      {100, -700, 700, 0, 1, 100, 0, 700, 700},          // touching an edge is not on it
      {-800, 100, 0, 700, 1, 0, 100, 800, 700}};
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
  for (const auto& [n, head, gps] : {std::array{12, 2, 3}, {3, 0, 1}, {5, 0, 0}, {0, 0, 0}})
    EXPECT_EQ(V({headPortSelection(ports, n), gpsPortSelection(ports, n)}), V({head, gps})) << n;
  EXPECT_EQ(headPortSelection({}, 5), -1);
  // selection: head port, GPS port
  for (const auto& [s, head, gps] :
       {std::array{-1, 0, 0}, {0, 3, 0}, {1, 7, 3}, {2, 12, 7}, {3, 0, 12}, {4, 0, 0}})
    EXPECT_EQ(V({headPortNumberAt(ports, s), gpsPortNumberAt(ports, s)}), V({head, gps})) << s;
  // stored rate, readable: head and GPS selections
  const int64_t bauds[][4] = {
      {460800, 0, 3, 0}, {115200, 1, 0, 5}, {1000000, 1, 4, 0}, {9600, 1, 3, 1}, {1, 1, 3, 0}};
  for (const auto& [baud, readable, head, gps] : bauds) {
    EXPECT_EQ(V({headBaudSelection(uint32_t(baud), readable != 0),
                 gpsBaudSelection(uint32_t(baud), readable != 0)}),
              V({head, gps}))
        << baud;
  }
}

// The offset field reads a leading number and keeps the previous value otherwise.
TEST(ViewDialogRules, OffsetFieldDefaultsRecordAndTemplate) {
  const std::pair<const char16_t*, int32_t> read[] = {
      {u"-90", -90}, {u" \t\r\n\v\f+45deg", 45}, {u"0", 0},
      {u"9x", 9},    {u"2147483647", INT32_MAX}, {u"-2147483648", INT32_MIN}};
  for (const auto& [text, value] : read)
    EXPECT_EQ(parseOffsetField(text, 7), value) << std::u16string(text).size();
  for (const char16_t* kept : {u"deg 45", u"", u"-", u"+", u"/", u":", u"2147483648",
                               u"-2147483649", u"99999999999999999999"})
    EXPECT_EQ(parseOffsetField(kept, 7), 7) << std::u16string(kept).size();
  // The dialog's Default button differs from the start-up values only in the contrast.
  ViewSettings d = viewDialogDefaults();
  const ViewSettings s;
  EXPECT_EQ(V({d.autoContrast, d.contrast, d.brightness}), V({1, 3, 9}));
  d.autoContrast = s.autoContrast, d.contrast = s.contrast, d.brightness = s.brightness;
  EXPECT_EQ(viewSettingsToBlob(d), viewSettingsToBlob(s));
  // The stored record: 21 little-endian words, the float scale third; read and written whole.
  ViewSettingsBlob words{};
  for (size_t i = 0; i < words.size(); i += 4) words[i] = uint8_t(i / 4 + 1), words[i + 1] = 1;
  ViewSettings v;
  EXPECT_FALSE(viewSettingsFromBlob(words.data(), words.size() - 1, v));
  ASSERT_TRUE(viewSettingsFromBlob(words.data(), words.size(), v));
  EXPECT_EQ(V({v.displayEnabled, v.palette, v.contrast, v.zeroOffset, v.toolbarVisible}),
            V({0x101, 0x102, 0x108, 0x114, 0x115}));
  EXPECT_EQ(viewSettingsToBlob(v), words);
  EXPECT_EQ(V({viewDialogTemplate(1, 1), viewDialogTemplate(1, 0), viewDialogTemplate(0, 1)}),
            V({kViewTemplateCompass, kViewTemplatePlain, kViewTemplatePlain}));
}

}  // namespace
}  // namespace sk720
