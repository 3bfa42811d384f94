#include "live/live_rules.h"

#include <cstdio>
#include <iterator>

#include "link/acquisition.h"

namespace sk720 {

namespace {
constexpr int32_t kGpsBauds[] = {4800, 9600, 19200, 38400, 57600, 115200};
constexpr int32_t kDefaultHeadBaudSelection = 3;  // 921600
}  // namespace

WatchStep connectionWatch(const WatchInput& in, int32_t timeout, WatchMemory& memory) {
  const WatchMemory previous = memory;
  memory = {in.loopNumber, in.recordsReceived};
  WatchStep step;
  step.timeout = timeout;
  step.debug.push_back("\r\nTimerID == 3\r\n");
  if (in.connecting) return step;
  if (!in.stopEventCreated) {
    if (!in.headPortOpen) return step;
    ++step.timeout;
    step.debug.push_back("pappdata->connectiontimeout++\n");
    if (step.timeout >= kWatchTicks) step.action = WatchAction::CloseIdlePort;
    return step;
  }
  if (in.stopRequested) return step;
  step.timeout = 0;
  if (in.workingRunning) {
    step.debug.push_back("Working thread is running\n");
    if (previous.loopNumber == in.loopNumber && previous.recordsReceived == in.recordsReceived) {
      step.debug.push_back("Working thread receives nothing\n");
      step.action = WatchAction::CloseSilent;
    }
  } else {
    step.debug.push_back("Working thread is exited\n");
    if (in.headPortOpen) step.action = WatchAction::CloseEnded;
  }
  return step;
}

ConnectChoice connectChoice(uint32_t headPortNumber, uint32_t gpsPortNumber,
                            int32_t headBaudSelection, int32_t gpsBaudSelection) {
  ConnectChoice c;
  if (headPortNumber == 0) return c;
  c.ok = true;
  c.headPortNumber = headPortNumber;
  const int32_t headCount = int32_t(std::size(kHeadBauds));
  c.headBaud = kHeadBauds[selectionOrKeep(headBaudSelection, headCount, kDefaultHeadBaudSelection)];
  if (gpsPortNumber != 0) {
    c.gpsPortNumber = gpsPortNumber;
    c.gpsBaud = kGpsBauds[selectionOrKeep(gpsBaudSelection, int32_t(std::size(kGpsBauds)), 0)];
  }
  return c;
}

int32_t selectionOrKeep(int32_t selection, int32_t count, int32_t keep) {
  return selection >= 0 && selection < count ? selection : keep;
}

TunableTexts tunableTexts(const SonarSettings& s) {
  char text[64];
  TunableTexts t;
  std::snprintf(text, sizeof text, "%i", int(s.centralFrequency / 1000));
  t.centralFrequencyKhz = std::string(text).substr(0, kTunableFieldChars);
  std::snprintf(text, sizeof text, "%i", int(s.bandwidth / 1000));
  t.bandwidthKhz = std::string(text).substr(0, kTunableFieldChars);
  std::snprintf(text, sizeof text, "%3.1f", double(float(s.tvgSlope) / 80.0f));
  t.tvgSlope = std::string(text).substr(0, kTunableFieldChars);
  return t;
}

SonarDialogValues sonarDialogValuesOf(const SonarSettings& s, bool tunable) {
  SonarDialogValues d;
  d.pulseType = s.pulseType == kPulseCw || s.pulseType == kPulseAfm || s.pulseType == kPulseFm
                    ? s.pulseType
                    : kPulseAuto;
  d.rangeIndex = s.rangeIndex;
  d.cwLengthIndex = s.cwLengthIndex;
  d.sectorHeadingIndex = s.sectorHeadingIndex;
  d.sectorWidthIndex = s.sectorWidthIndex;
  d.stepIndex = s.stepIndex;
  d.rotationIndex = s.rotationIndex;
  d.gainIndex = s.gainIndex;
  d.sectorEnabled = s.sectorEnabled == 1;
  d.headUp = s.headUp == 1;
  d.tuningForm = tunable;
  if (tunable) {
    const TunableTexts t = tunableTexts(s);
    d.centralFrequencyKhz = t.centralFrequencyKhz;
    d.bandwidthKhz = t.bandwidthKhz;
    d.tvgSlope = t.tvgSlope;
  }
  return d;
}

void deriveStartParams(SonarSettings& s, SonarParams& p, bool tunable, int32_t linkBaud) {
  const SonarDialogValues d = sonarDialogValuesOf(s, tunable);
  // Set derives the sector with the orientation the working values already hold; at start that
  // is the stored one.
  p.headUp = s.headUp == 1 ? 1 : 0;
  applySonarDialog(s, p, d, linkBaud);
}

StartFailure startFailure(StartResult result) {
  StartFailure f;
  switch (result) {
    case StartResult::LoadFailed:
      f.parametersNotice = true;
      f.closeLink = true;
      break;
    case StartResult::ThreadFailed:  // the system's text has been shown
    case StartResult::Stopped:
      f.closeLink = true;
      break;
    case StartResult::Started:
    case StartResult::HeadPortFailed:  // these end with the ports closed and said so
    case StartResult::GpsPortFailed:
    case StartResult::NoAnswer:
    case StartResult::Cancelled:
      break;
  }
  return f;
}

RecordButtonText recordBlinkStep(bool recording, int32_t& counter) {
  if (!recording) {
    counter = 0;
    return RecordButtonText::Record;
  }
  counter = (counter + 1) % 2;
  return counter == 1 ? RecordButtonText::Recording : RecordButtonText::Blank;
}

}  // namespace sk720
