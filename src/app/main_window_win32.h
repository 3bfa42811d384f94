#pragma once
// The main window: class, creation of its children, layout, placement and full
// screen.
#include <windows.h>

#include "app/app_data_win32.h"

namespace sk720 {

extern const wchar_t kMainClassName[];  // string 109, the same in every language

LRESULT CALLBACK MainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// WM_CREATE: the record, the 39 children, the lists, the records from the
// store, timers.
bool createMainWindowContents(HWND hwnd, const ProgramSwitches& switches);

// Places the children for the current client size and shows the records in the
// toolbar.
void LayoutMainWindow(HWND hwnd);

// Placement record of the main window.
void CapturePlacement(HWND hwnd, WindowPlacement& p);
void EnterFullScreen(HWND hwnd, WindowPlacement& p);
void LeaveFullScreen(HWND hwnd, WindowPlacement& p);
// Applies a stored placement with the trusted style bits, on a monitor.
void applyStoredPlacement(HWND hwnd, WindowPlacement& p);
void storePlacement(AppData& app);

// Toolbar helpers shared by the commands.
void fillPortLists(AppData& app, uint32_t headPort, uint32_t gpsPort);
void showRecordsInToolbar(AppData& app);  // under settingsLock

// Stops playback (joins its thread, closes its files) before anything it uses
// goes away.
void stopPlaybackNow(AppData& app);
// The same for a live start: a playback that was open leaves with its slider bar, and the scan
// view takes the room back at once.
void closePlaybackForLive(AppData& app);

void setProgramSwitches(const ProgramSwitches& s);
HWND programMainWindow();
void tickAutoshotItem(HWND hwnd, UINT chosen);

}  // namespace sk720
