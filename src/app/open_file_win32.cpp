// "Open File": the open-file dialog, the checks of the chosen files, and the
// playback thread.
#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <memory>

#include "app/main_commands_win32.h"
#include "app/main_window_win32.h"
#include "app/playback_commands.h"
#include "app/ui_text_win32.h"
#include "records/playback_win32.h"
#include "records/record_file.h"
#include "resource.h"

namespace sk720 {

namespace {

// Posts what the playback thread tells the windows; never touches a window's
// memory itself.
class WindowPlaybackObserver : public PlaybackObserver {
 public:
  WindowPlaybackObserver(HWND scan, HWND slider) : scan_(scan), slider_(slider) {}
  void fileStarted(uint32_t) override { PostMessageW(scan_, kMsgViewReset, 0, 0); }
  void positionReport(const PlaybackReport& report) override {
    post(slider_, report);
    PlaybackReport scanCopy = report;
    scanCopy.position = 0;
    post(scan_, scanCopy);
  }

 private:
  static void post(HWND w, const PlaybackReport& r) {
    auto* block = new PlaybackReport(r);
    if (!PostMessageW(w, kMsgPlaybackReport, WPARAM(r.linesPerTurn), LPARAM(block))) delete block;
  }
  HWND scan_;
  HWND slider_;
};

std::unique_ptr<WindowPlaybackObserver> gObserver;

// A connection being made counts: its start would stop the playback again.
bool workingThreadRuns(const AppData& a) { return linkBusy(a); }

// Reads the first 16 bytes; false when the file cannot be opened (last error
// kept).
bool readFileStart(const std::wstring& path, uint8_t (&head)[16], DWORD& got) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  got = 0;
  const BOOL ok = ReadFile(f, head, sizeof head, &got, nullptr);
  CloseHandle(f);
  if (!ok) got = 0;
  return true;
}

}  // namespace

void stopPlaybackNow(AppData& a) {
  if (a.playbackController) a.playbackController->stopPlayback();
  a.playbackOpen = false;
}

void closePlaybackForLive(AppData& a) {
  const bool wasOpen = a.playbackOpen;
  stopPlaybackNow(a);
  if (wasOpen) LayoutMainWindow(a.mainWindow);
}

void openPlaybackPaths(HWND hwnd, const std::vector<std::wstring>& paths) {
  AppData* a = appDataOf(hwnd);
  if (!a || paths.empty()) return;
  if (workingThreadRuns(*a)) {
    MessageBoxW(hwnd, loadText(IDS_STOP_BEFORE_OPEN).c_str(), nullptr, MB_OK | MB_ICONINFORMATION);
    return;
  }
  stopPlaybackNow(*a);
  a->statusText.set(narrow(paths.front()));

  std::vector<std::unique_ptr<RecordFileSource>> files;
  uint64_t firstSize = 0;
  for (const std::wstring& path : paths) {
    uint8_t head[16] = {};
    DWORD got = 0;
    if (!readFileStart(path, head, got)) {
      ShowLastError(hwnd);
      got = 0;  // counts as an invalid file below
    }
    if (!isRecordFileStart(head, got)) {
      MessageBoxW(hwnd, L"Invalid file selected", L"Error", MB_OK);
      LayoutMainWindow(hwnd);
      return;
    }
    auto file = std::make_unique<RecordFileSource>(false);
    if (!file->open(narrow(path))) {
      MessageBoxW(hwnd, L"Invalid file selected", L"Error", MB_OK);
      LayoutMainWindow(hwnd);
      return;
    }
    if (files.empty()) firstSize = file->size();
    files.push_back(std::move(file));
  }
  a->playbackFileSize = firstSize;
  a->playback->playbackPaused.store(0);
  a->playback->playbackSpeed.store(1);
  a->playback->seekRequest.store(kNoSeekRequest);
  a->playback->setViewSettings(a->view);
  a->playback->playbackContinuously.store(a->view.playbackContinuously);
  a->playback->displayPath = playbackDisplayPath;
  gObserver = std::make_unique<WindowPlaybackObserver>(a->scanWindow, a->sliderBar);
  a->playback->observer = gObserver.get();
  SetWindowTextW(a->playSpeedButton, speedButtonText(1).c_str());
  a->playbackController->start(std::move(files));
  a->playbackOpen = true;
  LayoutMainWindow(hwnd);
}

void openFileCommand(HWND hwnd) {
  AppData* a = appDataOf(hwnd);
  if (!a) return;
  if (workingThreadRuns(*a)) {
    MessageBoxW(hwnd, loadText(IDS_STOP_BEFORE_OPEN).c_str(), nullptr, MB_OK | MB_ICONINFORMATION);
    return;
  }
  std::vector<wchar_t> buffer(kOpenFileBufferChars, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd;
  ofn.lpstrFilter = L"BIN Files\0*.BIN\0All Files\0*.*\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = DWORD(buffer.size());
  ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST |
              OFN_ENABLESIZING;
  const BOOL chosen = GetOpenFileNameW(&ofn);
  const DWORD error = CommDlgExtendedError();
  if (!chosen && error == 0) return;
  if (!chosen || error != 0) {
    // The dialog's own failures are not system errors: say what happened.
    const std::wstring text =
        error == FNERR_BUFFERTOOSMALL
            ? loadText(IDS_TOO_MANY_FILES)
            : formatText(loadText(IDS_FILE_DIALOG_FAILED), std::to_wstring(error));
    showErrorText(hwnd, text);
    LayoutMainWindow(hwnd);
    return;
  }
  const DWORD attributes = GetFileAttributesW(buffer.data());
  const bool isFolder =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  openPlaybackPaths(hwnd, parseOpenFileSelection(buffer.data(), buffer.size(), isFolder));
}

}  // namespace sk720
