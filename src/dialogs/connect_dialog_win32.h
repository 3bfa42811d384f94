#pragma once
// The small dialogs of the live head: connect (129), sonar settings (107, 132 with "-tunable")
// and working folder (133).
#include <windows.h>

#include "link/acquisition.h"

namespace sk720 {

// Modal; returns when the connect thread has ended or the user cancelled.
void runConnectDialog(HWND main, const ConnectJob& job);
// The dialog's progress line (a status text id).
void setConnectProgress(HWND dlg, UINT textId);

// Modal sonar settings; "Set" applies the record to the head and stores it.
void runSonarDialog(HWND main);
// Modal working folder dialog.
void runWorkingFolderDialog(HWND main);

}  // namespace sk720
