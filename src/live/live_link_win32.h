#pragma once
// The live head behind the main window: the acquisition, the connect thread, and the messages
// through which the link's threads tell the windows what happened. No thread but the user
// interface thread touches a window; the others only post.
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "link/acquisition.h"
#include "live/live_rules.h"

namespace sk720 {

struct AppData;

// Messages from the link's threads to the main window (after the program's other messages).
constexpr UINT kMsgLinkStatus = WM_APP + 20;       // wParam LinkStatus: status part 0
constexpr UINT kMsgConnectProgress = WM_APP + 21;  // wParam LinkStatus: the dialog's line
constexpr UINT kMsgLinkRate = WM_APP + 22;         // wParam port, lParam baud (0, 0 clears)
constexpr UINT kMsgLinkError = WM_APP + 23;        // lParam std::wstring* the receiver frees
constexpr UINT kMsgLinkConnected = WM_APP + 24;    // Start off, the watch reset
constexpr UINT kMsgStoreLinks = WM_APP + 25;       // lParam LinkChoices* the receiver frees
constexpr UINT kMsgRecordingResumed = WM_APP + 26;
constexpr UINT kMsgStopPlayback = WM_APP + 27;
constexpr UINT kMsgLinkDisconnected = WM_APP + 28;  // Start on
constexpr UINT kMsgConnectEnded = WM_APP + 29;      // wParam StartResult

struct LinkChoices {
  uint32_t headPort = 0, headBaud = 0, gpsPort = 0, gpsBaud = 0;
};

struct LiveLink {
  std::unique_ptr<Acquisition> acq;
  std::unique_ptr<AcquisitionObserver> observer;
  std::unique_ptr<PortFactory> ports;
  std::thread connectThread;
  std::atomic<bool> connecting{false};  // the connect thread has not ended yet
  std::atomic<bool> cancel{false};      // the connect dialog's Cancel (or Stop, or exit)
  HWND connectDialog = nullptr;
  int32_t connectionTimeout = 0;
  WatchMemory watch;
  DWORD uiThread = 0;
};

// At the main window's creation, after the line store exists.
void initLiveLink(AppData& a);
// The connect thread runs, or a working loop: "Open File" waits for "Stop".
bool linkBusy(const AppData& a);

// Starts the connect thread for a job (from the connect dialog); false when it cannot start.
bool beginConnect(AppData& a, const ConnectJob& job);
// The connect dialog's Cancel: the thread ends by itself and closes its own ports.
void cancelConnect(AppData& a);

// Loads the records into the head and restarts the loops, on the user interface thread ("Apply",
// "Set"). With a head connected, stops playback first; without one only the records change.
// Returns false when a connection is still being made.
bool applySettingsNow(AppData& a);

// After a connect or a restart of the head: a start that failed once the link was up ends the
// link and says why; the Hold button names what a click would do to the hold now in force.
void startEnded(AppData& a, StartResult result);
// The Hold button's text for the hold in force.
void showHoldState(AppData& a);

// Commands and timers of the live head.
void startCommand(HWND main);
void stopCommand(HWND main);
void recordCommand(HWND main);
void applyCommand(HWND main);
void connectionWatchTick(HWND main);
void recordBlinkTick(HWND main);

// The messages above; true when the message was one of them.
bool onLinkMessage(HWND main, UINT msg, WPARAM wParam, LPARAM lParam);

// Exit: withdraws a connection in progress (bounded wait), stops both loops, closes the ports;
// the record file is closed after its pending writes.
void shutdownLiveLink(AppData& a);

}  // namespace sk720
