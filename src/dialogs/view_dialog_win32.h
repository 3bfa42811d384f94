#pragma once
// The view settings dialog (templates 108 with the compass group, 131 without).
#include <windows.h>

namespace sk720 {

void showViewSettingsDialog(HWND mainWindow);

}  // namespace sk720
