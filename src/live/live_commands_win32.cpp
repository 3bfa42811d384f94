// Start, Stop, Record and Apply, the connection watch and the record blink, and the link's
// messages to the main window.
#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "app/app_data_win32.h"
#include "app/main_window_win32.h"
#include "app/ui_text_win32.h"
#include "dialogs/connect_dialog_win32.h"
#include "dialogs/dialogs_win32.h"
#include "live/live_link_win32.h"
#include "live/live_rules.h"
#include "resource.h"

namespace sk720 {

namespace {

constexpr UINT kBlinkTimer = 4;
constexpr UINT kBlinkOffMs = 2147483647u;

int32_t selectionOf(HWND combo) { return int32_t(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void showDisconnected(AppData& a) {
  setStatusPart(a.statusBar, 0, loadText(IDS_DISCONNECTED));
  setStatusPart(a.statusBar, 1, L"");
}

// An earlier connection still winding down after a cancel: wait a little for it (it gives up
// inside its current wait).
bool waitForConnectThread(AppData& a) {
  for (int i = 0; i < 25 && a.live.connecting.load(); ++i) Sleep(20);
  return !a.live.connecting.load();
}

void connectEnded(HWND main, AppData& a, StartResult result) {
  LiveLink& l = a.live;
  if (l.connectThread.joinable()) l.connectThread.join();
  // A cancel that came after the sequence had looked for it for the last time.
  const bool cancelled = l.cancel.load();
  if (result == StartResult::Started && cancelled) disconnectHead(*l.acq);
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    a.params = l.acq->params;
    a.view.hold = l.acq->viewSettings().hold;
  }
  if (l.connectDialog) EndDialog(l.connectDialog, IDOK);
  (void)main;
  startEnded(a, result);
  if (cancelled) {
    showDisconnected(a);
    EnableWindow(a.startButton, TRUE);
  }
}

}  // namespace

void showHoldState(AppData& a) {
  SetWindowTextW(a.holdButton, loadText(a.view.hold == 1 ? IDS_RESUME : IDS_HOLD).c_str());
}

void startEnded(AppData& a, StartResult result) {
  const StartFailure f = startFailure(result);
  if (f.closeLink) {
    disconnectHead(*a.live.acq);
    showDisconnected(a);
    EnableWindow(a.startButton, TRUE);
  }
  showHoldState(a);
  if (f.parametersNotice) {
    showNoticeDialog(a.mainWindow, loadText(IDS_HEAD_REFUSED_PARAMETERS), NoticeKind::Failure);
  }
}

void startCommand(HWND main) {
  AppData* a = appDataOf(main);
  if (!a) return;
  // A second Start while a connection runs (its dialog is up) has nothing to add.
  if (a->live.connecting.load() && !a->live.cancel.load()) return;
  if (!waitForConnectThread(*a)) {
    showNoticeDialog(main, loadText(IDS_STILL_ENDING_CONNECTION), NoticeKind::Failure);
    return;
  }
  closePlaybackForLive(*a);
  const uint32_t head = headPortNumberAt(a->comPorts, selectionOf(a->headPortCombo));
  const uint32_t gps = gpsPortNumberAt(a->comPorts, selectionOf(a->gpsPortCombo));
  const ConnectChoice c =
      connectChoice(head, gps, selectionOf(a->headBaudCombo), selectionOf(a->gpsBaudCombo));
  if (!c.ok) {
    showDisconnected(*a);
    showNoticeDialog(main, loadText(IDS_NO_HEAD_PORT), NoticeKind::Failure);
    return;
  }
  ConnectJob job;
  job.headPortNumber = c.headPortNumber;
  job.gpsPortNumber = c.gpsPortNumber;
  job.gpsBaud = c.gpsBaud;
  job.headBaud = c.headBaud;
  runConnectDialog(main, job);
}

void stopCommand(HWND main) {
  AppData* a = appDataOf(main);
  if (!a) return;
  Acquisition& acq = *a->live.acq;
  if (a->live.connecting.load()) {
    cancelConnect(*a);  // the connect thread owns the ports until it ends
    return;
  }
  if (RIZ720_StopWorkingThread(acq.state.stopRequest, &acq.workingThread, 1000) < 0) {
    OutputDebugStringA("RIZ720_StopWorkingThread failed\n");
  }
  disconnectHead(acq);
  showDisconnected(*a);
  EnableWindow(a->startButton, TRUE);
}

void recordCommand(HWND main) {
  AppData* a = appDataOf(main);
  if (!a) return;
  AcquisitionState& st = a->live.acq->state;
  if (!st.recordEvent.load()) {
    if (!st.workingRunning.load()) return;
    st.recordEvent.store(true);
    SetTimer(main, kBlinkTimer, 400, nullptr);
    st.recordingActive.store(1);
  } else {
    st.recordEvent.store(false);
    st.recordingActive.store(0);
  }
}

void applyCommand(HWND main) {
  AppData* a = appDataOf(main);
  if (!a || !applySettingsNow(*a)) return;
  SaveRecords(*a->settings, &a->sonar, &a->view);
}

void connectionWatchTick(HWND main) {
  AppData* a = appDataOf(main);
  if (!a) return;
  LiveLink& l = a->live;
  WatchInput in;
  in.connecting = l.connecting.load();
  if (!in.connecting) {  // only then are the ports the watch's to look at
    const AcquisitionState& st = l.acq->state;
    in.stopEventCreated = st.stopEventCreated.load();
    in.stopRequested = st.stopRequest.load();
    in.headPortOpen = l.acq->headPort != nullptr;
    in.workingRunning = st.workingRunning.load();
    in.loopNumber = st.workingLoopsStarted.load();
    in.recordsReceived = st.recordsReceived.load();
  }
  const WatchStep step = connectionWatch(in, l.connectionTimeout, l.watch);
  for (const char* d : step.debug) OutputDebugStringA(d);
  l.connectionTimeout = step.timeout;
  if (step.action != WatchAction::Nothing) {
    disconnectHead(*l.acq);
    showDisconnected(*a);
    EnableWindow(a->startButton, TRUE);
  }
}

void recordBlinkTick(HWND main) {
  AppData* a = appDataOf(main);
  if (!a) return;
  switch (recordBlinkStep(a->live.acq->state.recordEvent.load(), a->recordBlink)) {
    case RecordButtonText::Record:
      SetWindowTextW(a->recordButton, loadText(IDS_RECORD).c_str());
      SetTimer(main, kBlinkTimer, kBlinkOffMs, nullptr);
      break;
    case RecordButtonText::Recording:
      SetWindowTextW(a->recordButton, loadText(IDS_RECORDING).c_str());
      break;
    case RecordButtonText::Blank:
      SetWindowTextW(a->recordButton, L"");
      break;
  }
}

bool onLinkMessage(HWND main, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg < kMsgLinkStatus || msg > kMsgConnectEnded) return false;
  AppData* a = appDataOf(main);
  if (!a) {
    if (msg == kMsgLinkError) delete reinterpret_cast<std::wstring*>(lParam);
    if (msg == kMsgStoreLinks) delete reinterpret_cast<LinkChoices*>(lParam);
    return true;
  }
  switch (msg) {
    case kMsgLinkStatus:
      // After Stop the status already says so; the ending sequence's steps no longer hold.
      if (a->live.cancel.load()) break;
      setStatusPart(a->statusBar, 0, loadText(UINT(wParam)));
      break;
    case kMsgConnectProgress:
      if (a->live.connectDialog) setConnectProgress(a->live.connectDialog, UINT(wParam));
      break;
    case kMsgLinkRate: {
      wchar_t text[64] = L"";
      if (wParam != 0) wsprintfW(text, L"COM%i:%ibaud", int(wParam), int(lParam));
      setStatusPart(a->statusBar, 1, text);
      break;
    }
    case kMsgLinkError: {
      std::unique_ptr<std::wstring> text(reinterpret_cast<std::wstring*>(lParam));
      MessageBoxW(a->live.connectDialog ? a->live.connectDialog : main, text->c_str(),
                  L"GetLastError", MB_OK);
      break;
    }
    case kMsgLinkConnected:
      EnableWindow(a->startButton, FALSE);
      a->live.connectionTimeout = 0;
      break;
    case kMsgStoreLinks: {
      std::unique_ptr<LinkChoices> c(reinterpret_cast<LinkChoices*>(lParam));
      SetHeadLink(*a->settings, c->headPort, c->headBaud);
      SetGpsLink(*a->settings, c->gpsPort, c->gpsBaud);
      break;
    }
    case kMsgRecordingResumed:
      SetTimer(main, kBlinkTimer, 400, nullptr);
      break;
    case kMsgStopPlayback:
      closePlaybackForLive(*a);
      break;
    case kMsgLinkDisconnected:
      EnableWindow(a->startButton, TRUE);
      break;
    case kMsgConnectEnded:
      connectEnded(main, *a, StartResult(wParam));
      break;
    default:
      break;
  }
  return true;
}

}  // namespace sk720
