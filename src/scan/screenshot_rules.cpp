#include "scan/screenshot_rules.h"

#include "base/utf16.h"

namespace sk720 {

std::optional<ScreenshotKind> takeScreenshotRequest(int32_t& manualRequested,
                                                    int32_t& automaticRequest) {
  if (automaticRequest != 0) {
    automaticRequest = 0;
    return ScreenshotKind::Automatic;
  }
  if (manualRequested != 0) {
    manualRequested = 0;
    return ScreenshotKind::Manual;
  }
  return std::nullopt;
}

std::string screenshotFileName(ScreenshotKind kind, const std::string& timestamp) {
  std::string name =
      kind == ScreenshotKind::Automatic ? "autoscreenshot_rez720_" : "screenshot_rez720_";
  name += timestamp;
  name += ".png";
  return name;
}

bool screenshotPath(const std::string& folder, const std::string& name, std::string& path) {
  std::string joined = folder;
  if (joined.empty() || (joined.back() != '\\' && joined.back() != '/')) joined += '\\';
  joined += name;
  if (utf8ToUtf16(joined).size() + 1 > kMaxPathUnits) {
    path.clear();
    return false;
  }
  path = std::move(joined);
  return true;
}

const char* screenshotFailureText(ScreenshotFailure failure) {
  switch (failure) {
    case ScreenshotFailure::None:
      return "";
    case ScreenshotFailure::NoEncoder:
      return "no PNG encoder";
    case ScreenshotFailure::PathTooLong:
      return "path too long";
    case ScreenshotFailure::FolderNotWritable:
      return "folder not writable";
  }
  return "";
}

std::string screenshotNoticeText(const ScreenshotResult& result) {
  if (result.saved) return "Screenshot saved";
  return std::string("Screenshot not saved: ") + screenshotFailureText(result.failure);
}

}  // namespace sk720
