// The live commands' decisions: connection watch, connect requests, list selections, the
// tunable fields and the working values derived from a stored record.
#include "live/live_rules.h"
#include "dialogs/notice_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace sk720 {
namespace {

std::string joined(const WatchStep& s) {
  std::string out;
  for (const char* d : s.debug) out += d;
  return out;
}

TEST(ConnectionWatch, IdlePortIsClosedAtTheSeventhTickAndAnEndedLoopAtOnce) {
  WatchInput idle;
  idle.headPortOpen = true;
  WatchMemory m;
  int32_t timeout = 0;
  for (int tick = 1; tick <= 6; ++tick) {
    const WatchStep s = connectionWatch(idle, timeout, m);
    EXPECT_EQ(s.action, WatchAction::Nothing) << tick;
    EXPECT_EQ(joined(s), "\r\nTimerID == 3\r\npappdata->connectiontimeout++\n");
    timeout = s.timeout;
  }
  EXPECT_EQ(connectionWatch(idle, timeout, m).action, WatchAction::CloseIdlePort);

  // The connect thread owns the port while it runs; a closed port is not counted.
  idle.connecting = true;
  EXPECT_EQ(connectionWatch(idle, 6, m).timeout, 6);
  EXPECT_EQ(connectionWatch(idle, 6, m).action, WatchAction::Nothing);
  idle.connecting = false;
  idle.headPortOpen = false;
  EXPECT_EQ(connectionWatch(idle, 3, m).timeout, 3);

  WatchInput live;
  live.stopEventCreated = true;
  live.headPortOpen = true;
  live.workingRunning = true;
  live.loopNumber = 1;
  live.recordsReceived = 500;
  WatchStep s = connectionWatch(live, 4, m);
  EXPECT_EQ(s.action, WatchAction::Nothing);
  EXPECT_EQ(s.timeout, 0);
  EXPECT_EQ(joined(s), "\r\nTimerID == 3\r\nWorking thread is running\n");
  live.recordsReceived = 900;
  EXPECT_EQ(connectionWatch(live, 0, m).action, WatchAction::Nothing);
  // A new loop (new settings applied) is not silent for having the old loop's count.
  live.loopNumber = 2;
  EXPECT_EQ(connectionWatch(live, 0, m).action, WatchAction::Nothing);
  // Nothing for a whole tick while the loop runs: the port gives no error, the head is gone.
  s = connectionWatch(live, 0, m);
  EXPECT_EQ(s.action, WatchAction::CloseSilent);
  EXPECT_EQ(joined(s),
            "\r\nTimerID == 3\r\nWorking thread is running\n"
            "Working thread receives nothing\n");

  live.workingRunning = false;  // the cable was pulled
  s = connectionWatch(live, 0, m);
  EXPECT_EQ(s.action, WatchAction::CloseEnded);
  EXPECT_EQ(joined(s), "\r\nTimerID == 3\r\nWorking thread is exited\n");
  live.headPortOpen = false;
  EXPECT_EQ(connectionWatch(live, 0, m).action, WatchAction::Nothing);

  live.stopRequested = true;  // after Stop nothing is watched
  live.headPortOpen = true;
  s = connectionWatch(live, 2, m);
  EXPECT_EQ(s.action, WatchAction::Nothing);
  EXPECT_EQ(s.timeout, 2);
}

TEST(ConnectChoice, NoHeadPortStartsNothingAndMissingSelectionsTakeDefaults) {
  EXPECT_FALSE(connectChoice(0, 3, 3, 1).ok);

  ConnectChoice c = connectChoice(7, 0, 4, 5);
  EXPECT_TRUE(c.ok);
  EXPECT_EQ(c.headPortNumber, 7u);
  EXPECT_EQ(c.headBaud, 1000000);
  EXPECT_EQ(c.gpsPortNumber, 0u);
  EXPECT_EQ(c.gpsBaud, 0);  // "N/A" passes no rate

  c = connectChoice(7, 8, -1, -1);
  EXPECT_EQ(c.headBaud, 921600);
  EXPECT_EQ(c.gpsPortNumber, 8u);
  EXPECT_EQ(c.gpsBaud, 4800);
  EXPECT_EQ(connectChoice(7, 8, 0, 2).gpsBaud, 19200);
  EXPECT_EQ(connectChoice(7, 8, 0, 2).headBaud, 115200);

  EXPECT_EQ(selectionOrKeep(-1, 12, 9), 9);
  EXPECT_EQ(selectionOrKeep(12, 12, 9), 9);
  EXPECT_EQ(selectionOrKeep(0, 12, 9), 0);
}

TEST(TunableFields, WhatIsShownIsWhatSetSends) {
  SonarSettings s;
  TunableTexts t = tunableTexts(s);
  EXPECT_EQ(t.centralFrequencyKhz, "860");
  EXPECT_EQ(t.bandwidthKhz, "80");
  EXPECT_EQ(t.tvgSlope, "1.0");

  // Values that do not fit three characters are shown as they will be read back.
  s.centralFrequency = 1000000;
  s.tvgSlope = 1000;  // 12.5
  t = tunableTexts(s);
  EXPECT_EQ(t.centralFrequencyKhz, "100");
  EXPECT_EQ(t.tvgSlope, "12.");

  SonarParams p;
  applySonarDialog(s, p, sonarDialogValuesOf(s, true), 115200);
  EXPECT_EQ(p.centralFrequency, 100000);
  EXPECT_EQ(p.tvgSlope, 960);
  EXPECT_EQ(tunableTexts(s).tvgSlope, "12.");  // a second Set changes nothing more
  applySonarDialog(s, p, sonarDialogValuesOf(s, true), 115200);
  EXPECT_EQ(p.tvgSlope, 960);
}

TEST(StartParams, TheStoredRecordDrivesTheHeadFromTheFirstStart) {
  SonarSettings s;
  s.headUp = 1;
  s.rotationIndex = 1;
  s.cwLengthIndex = 7;
  s.sectorEnabled = 1;
  s.sectorHeadingIndex = 2;
  s.centralFrequency = 750000;
  s.tvgSlope = 120;

  SonarParams plain;
  SonarSettings s1 = s;
  deriveStartParams(s1, plain, false, 921600);
  EXPECT_EQ(plain.headUp, 1);
  EXPECT_EQ(plain.reverse, 0);
  EXPECT_EQ(plain.cwLength, 100);
  EXPECT_EQ(plain.sectorHeading, sectorHeadingAt(2, true));
  EXPECT_EQ(plain.centralFrequency, 860000);  // only the tunable form sends the stored tuning

  SonarParams tuned;
  SonarSettings s2 = s;
  deriveStartParams(s2, tuned, true, 921600);
  EXPECT_EQ(tuned.centralFrequency, 750000);
  EXPECT_EQ(tuned.tvgSlope, 120);
  EXPECT_EQ(s2.centralFrequency, 750000);
}

TEST(RecordBlink, AlternatesWhileRecordingAndRestoresTheText) {
  int32_t counter = 0;
  EXPECT_EQ(recordBlinkStep(true, counter), RecordButtonText::Recording);
  EXPECT_EQ(recordBlinkStep(true, counter), RecordButtonText::Blank);
  EXPECT_EQ(recordBlinkStep(true, counter), RecordButtonText::Recording);
  EXPECT_EQ(recordBlinkStep(false, counter), RecordButtonText::Record);
  EXPECT_EQ(counter, 0);
}

TEST(StartFailure, AFailureAfterTheLinkCameUpClosesItAndARefusedLoadIsSaid) {
  struct Case {
    StartResult result;
    bool closeLink, notice;
  };
  const Case cases[] = {
      {StartResult::Started, false, false},       {StartResult::HeadPortFailed, false, false},
      {StartResult::GpsPortFailed, false, false}, {StartResult::NoAnswer, false, false},
      {StartResult::LoadFailed, true, true},      {StartResult::ThreadFailed, true, false},
      {StartResult::Stopped, true, false},        {StartResult::Cancelled, false, false},
  };
  for (const Case& c : cases) {
    const StartFailure f = startFailure(c.result);
    EXPECT_EQ(f.closeLink, c.closeLink) << int(c.result);
    EXPECT_EQ(f.parametersNotice, c.notice) << int(c.result);
  }
}

TEST(NoticeTime, DoneIsAGlanceAndAFailureStaysLongEnoughToRead) {
  struct Case {
    NoticeKind kind;
    size_t characters;
    uint32_t ms;
  };
  const Case cases[] = {
      {NoticeKind::Done, 16, 500},     {NoticeKind::Done, 300, 500},
      {NoticeKind::Failure, 0, 2000},  {NoticeKind::Failure, 27, 2000},
      {NoticeKind::Failure, 90, 5940}, {NoticeKind::Failure, 1000, 8000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(noticeShowMs(c.kind, c.characters), c.ms) << c.characters;
  }
}

}  // namespace
}  // namespace sk720
