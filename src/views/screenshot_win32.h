#pragma once
// Saving the scan view's canvas as a PNG screenshot in the working folder.
#include <windows.h>

#include <string>

#include "scan/screenshot_rules.h"

namespace sk720 {

// The class id of the first installed image encoder whose MIME type is exactly
// mimeType (case-sensitive). False when there is none.
bool FindImageEncoder(const wchar_t* mimeType, CLSID* clsid);

// Writes the 32-bit DIB (info, pixels) as "<workingFolder>\<name>" with the PNG
// encoder, creating the folder (one level) when it is missing. The result says
// whether a file was written, and if not, why. GDI+ must be started.
ScreenshotResult saveScreenshotAs(const std::string& workingFolder, const std::string& name,
                                  const BITMAPINFO* info, void* pixels);

// The same with the name of a request of this kind at the current local time.
ScreenshotResult saveScreenshot(const std::string& workingFolder, ScreenshotKind kind,
                                const BITMAPINFO* info, void* pixels);

}  // namespace sk720
