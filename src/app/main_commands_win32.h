#pragma once
// Commands and timers of the main window.
#include <windows.h>

#include <string>
#include <vector>

namespace sk720 {

// Returns false when the command is not ours (the default procedure takes it).
bool OnMainCommand(HWND hwnd, UINT id, HWND control, UINT code);
void OnMainTimer(HWND hwnd, UINT id);

struct AppData;
// Timer 1's work: the quick view bars and quick sonar lists into the records.
void toolbarToRecords(AppData& a);

// Opens record files for playback exactly as "Open File" does after its dialog
// (command line, dropped files).
void openPlaybackPaths(HWND hwnd, const std::vector<std::wstring>& paths);
// The "Open File" button: the open-file dialog, then the same.
void openFileCommand(HWND hwnd);

}  // namespace sk720
