// The acquisition behind the main window: its ports, the observer that posts to the windows,
// the connect thread and the start on the user interface thread.
#include "live/live_link_win32.h"

#include <windows.h>

#include <chrono>
#include <system_error>

#include "app/app_data_win32.h"
#include "app/main_window_win32.h"
#include "app/ui_text_win32.h"
#include "link/serial_port_win32.h"
#include "live/live_rules.h"
#include "records/recorder_win32.h"
#include "resource.h"

namespace sk720 {

namespace {

std::string lastErrorText() {
  const DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = text ? std::wstring(text) : L"Error " + std::to_wstring(code);
  if (text) LocalFree(text);
  while (!w.empty() && (w.back() == L'\n' || w.back() == L'\r')) w.pop_back();
  return narrow(w);
}

// The COM ports by number; the reason of a failure is the system's text, taken on the thread
// that failed (the last error is per thread).
class ComPortFactory : public PortFactory {
 public:
  std::unique_ptr<SerialPort> openHeadPort(uint32_t n, std::string& reason) override {
    return adopt(sk720::openHeadPort(n), reason);
  }
  std::unique_ptr<SerialPort> openGpsPort(uint32_t n, int32_t baud, std::string& reason) override {
    return adopt(sk720::openGpsPort(n, baud), reason);
  }

 private:
  static std::unique_ptr<SerialPort> adopt(HANDLE h, std::string& reason) {
    if (h == INVALID_HANDLE_VALUE) {
      reason = lastErrorText();
      return nullptr;
    }
    return adoptPortHandle(h);
  }
};

// Everything the link tells the windows goes through the main window's queue.
class PostingObserver : public AcquisitionObserver {
 public:
  PostingObserver(HWND main, HWND scan, DWORD uiThread)
      : main_(main), scan_(scan), uiThread_(uiThread) {}
  void linkStatus(LinkStatus s) override { post(kMsgLinkStatus, WPARAM(s), 0); }
  void dialogText(LinkStatus s) override { post(kMsgConnectProgress, WPARAM(s), 0); }
  void linkRate(uint32_t port, int32_t baud) override { post(kMsgLinkRate, port, baud); }
  void portOpenFailed(const std::string& reason) override { postText(reason); }
  void threadStartFailed(const std::string& reason) override { postText(reason); }
  void connected() override { post(kMsgLinkConnected, 0, 0); }
  void storeLinkChoices(uint32_t hp, int32_t hb, uint32_t gp, int32_t gb) override {
    auto* c = new LinkChoices{hp, uint32_t(hb), gp, uint32_t(gb)};
    if (!PostMessageW(main_, kMsgStoreLinks, 0, LPARAM(c))) delete c;
  }
  // The serial input must never overflow at the highest rate.
  void workingThreadStarted() override {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  }
  void recordingResumed() override { post(kMsgRecordingResumed, 0, 0); }
  void resetView() override { PostMessageW(scan_, kMsgViewReset, 0, 0); }
  // On the user interface thread the caller has stopped playback before the start.
  void stopPlayback() override {
    if (GetCurrentThreadId() != uiThread_) post(kMsgStopPlayback, 0, 0);
  }
  void disconnected() override { post(kMsgLinkDisconnected, 0, 0); }

 private:
  void post(UINT msg, WPARAM w, LPARAM l) { PostMessageW(main_, msg, w, l); }
  void postText(const std::string& text) {
    auto* t = new std::wstring(widen(text));
    if (!PostMessageW(main_, kMsgLinkError, 0, LPARAM(t))) delete t;
  }
  HWND main_, scan_;
  DWORD uiThread_;
};

// What the user interface holds goes to the acquisition before a start (one thread at a time
// owns the acquisition's records: the caller, while no connect thread runs).
void handOverRecords(AppData& a) {
  Acquisition& acq = *a.live.acq;
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    acq.settings = a.sonar;
    acq.params = a.params;
    acq.setViewSettings(a.view);
  }
  acq.tunable = a.tunable != 0;
  acq.setWorkingFolder(a.workingFolder);
}

}  // namespace

void initLiveLink(AppData& a) {
  LiveLink& l = a.live;
  l.uiThread = GetCurrentThreadId();
  l.acq = std::make_unique<Acquisition>(*a.store, a.inputs, a.gps, a.statusText,
                                        overlappedRecordStorage());
  l.observer = std::make_unique<PostingObserver>(a.mainWindow, a.scanWindow, l.uiThread);
  l.acq->observer = l.observer.get();
  l.ports = std::make_unique<ComPortFactory>();
  installDebuggerDiagnostics();
}

bool linkBusy(const AppData& a) {
  return a.live.connecting.load() || (a.live.acq && a.live.acq->state.workingRunning.load());
}

bool beginConnect(AppData& a, const ConnectJob& job) {
  LiveLink& l = a.live;
  if (l.connecting.load()) return false;
  if (l.connectThread.joinable()) l.connectThread.join();
  handOverRecords(a);
  l.cancel.store(false);
  l.connecting.store(true);
  ConnectJob j = job;
  j.cancel = &l.cancel;
  AppData* app = &a;
  try {
    l.connectThread = std::thread([app, j] {
      const StartResult r = ConnectThread(*app->live.acq, j, *app->live.ports);
      app->live.connecting.store(false);
      PostMessageW(app->mainWindow, kMsgConnectEnded, WPARAM(r), 0);
    });
  } catch (const std::system_error& e) {
    l.connecting.store(false);
    showErrorText(a.mainWindow, widen(e.what()));
    return false;
  }
  return true;
}

void cancelConnect(AppData& a) {
  cancelConnection(*a.live.acq, a.live.cancel);
  setStatusPart(a.statusBar, 0, loadText(IDS_DISCONNECTED));
}

bool applySettingsNow(AppData& a) {
  if (a.live.connecting.load()) return false;
  // Only the connect thread and this thread touch the port, and the connect thread has ended.
  const bool headConnected = a.live.acq->headPort != nullptr;
  if (headConnected) closePlaybackForLive(a);
  handOverRecords(a);
  const StartResult result = headConnected ? startSonar(*a.live.acq) : StartResult::Started;
  {
    std::lock_guard<std::mutex> g(a.settingsLock);
    a.params = a.live.acq->params;
    a.view.hold = a.live.acq->viewSettings().hold;
  }
  startEnded(a, result);
  return true;
}

void shutdownLiveLink(AppData& a) {
  LiveLink& l = a.live;
  if (!l.acq) return;
  l.cancel.store(true);
  // The sequence notices the request between its steps; a step waits at most a few seconds.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (l.connecting.load() && std::chrono::steady_clock::now() < end) Sleep(20);
  if (l.connectThread.joinable()) {
    if (l.connecting.load()) {
      l.connectThread.detach();  // AppData outlives the process's last message
      return;
    }
    l.connectThread.join();
  }
  disconnectHead(*l.acq);
}

}  // namespace sk720
