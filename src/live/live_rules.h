#pragma once
// Decisions of the live commands, kept apart from the windows: the connection watch, what a
// connect request needs, the quick lists' selections, and the sonar dialog's tunable fields.
#include <cstdint>
#include <string>
#include <vector>

#include "link/acquisition.h"
#include "link/sonar_params.h"

namespace sk720 {

// Timer 3, the connection watch, decided from what it sees.
struct WatchInput {
  bool connecting = false;        // a connect thread still runs: the port is its own
  bool stopEventCreated = false;  // a working loop has been started since start-up
  bool stopRequested = false;     // the stop event is signalled
  bool headPortOpen = false;
  bool workingRunning = false;
  uint32_t loopNumber = 0;       // working loops started so far
  uint64_t recordsReceived = 0;  // by the current loop
};
// What the watch saw at its previous tick.
struct WatchMemory {
  uint32_t loopNumber = 0;
  uint64_t recordsReceived = 0;
};
enum class WatchAction {
  Nothing,
  CloseIdlePort,  // the port stayed open without a working loop for seven ticks
  CloseEnded,     // the working loop ended by itself: close the link and say so
  CloseSilent,    // the loop runs but no record came for a whole tick: the head is gone
};
struct WatchStep {
  WatchAction action = WatchAction::Nothing;
  int32_t timeout = 0;             // the new tick count
  std::vector<const char*> debug;  // the debugger strings, in order
};
constexpr int32_t kWatchTicks = 7;
// A head in work mode sends records continuously (a ping takes well under a second); one that
// sent nothing for a whole tick was unplugged even when the port reports no error.
WatchStep connectionWatch(const WatchInput& in, int32_t timeout, WatchMemory& memory);

// A connect request from the toolbar's selections. No head port means no connection at all.
struct ConnectChoice {
  bool ok = false;
  uint32_t headPortNumber = 0;
  uint32_t gpsPortNumber = 0;  // 0: "N/A"
  int32_t gpsBaud = 0;         // 0 with "N/A"
  int32_t headBaud = 0;
};
// Port numbers as the lists give them (0 for none); baud selections may be -1 (none), which
// take the lists' defaults.
ConnectChoice connectChoice(uint32_t headPortNumber, uint32_t gpsPortNumber,
                            int32_t headBaudSelection, int32_t gpsBaudSelection);

// A list selection copied into a record field: "no selection" (-1) and anything outside the
// list keep the record's value.
int32_t selectionOrKeep(int32_t selection, int32_t count, int32_t keep);

// The tunable fields as shown: frequency and bandwidth in kHz, the TVG slope per unit of 80,
// each cut to the three characters the field holds, so that what is shown is what Set sends.
struct TunableTexts {
  std::string centralFrequencyKhz, bandwidthKhz, tvgSlope;
};
constexpr int32_t kTunableFieldChars = 3;
TunableTexts tunableTexts(const SonarSettings& s);

// The dialog's values for a record, as the dialog would show them.
SonarDialogValues sonarDialogValuesOf(const SonarSettings& s, bool tunable);

// The working values a stored record gives at start: exactly what "Set" would derive from it
// unchanged, so that a head mounted upside down is driven as such from the first start.
void deriveStartParams(SonarSettings& s, SonarParams& p, bool tunable, int32_t linkBaud);

// What the windows do when a connect or a restart of the head ended. A start that failed after
// the link came up (the head took no parameters, a thread could not start, the user's stop)
// leaves ports open and "Connected" on show: the link is closed, "Disconnected" shown and Start
// enabled. A head that did not take its parameters also gets a notice that says so.
struct StartFailure {
  bool closeLink = false;
  bool parametersNotice = false;
};
StartFailure startFailure(StartResult result);

// The record button's text while the blink runs: counter 1 shows "Recording", 0 nothing.
enum class RecordButtonText { Record, Recording, Blank };
RecordButtonText recordBlinkStep(bool recording, int32_t& counter);

}  // namespace sk720
