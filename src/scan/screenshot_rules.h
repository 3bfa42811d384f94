#pragma once
// Which screenshot a paint takes, what the file is called, where it goes, and
// what the user is told about it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sk720 {

enum class ScreenshotKind { Manual, Automatic };

// The request a paint serves, cleared here: the automatic one first when both
// are pending, so the manual one stays set and the next paint takes it. nullopt
// when none is pending.
std::optional<ScreenshotKind> takeScreenshotRequest(int32_t& manualRequested,
                                                    int32_t& automaticRequest);

// "screenshot_rez720_%s.png" or "autoscreenshot_rez720_%s.png" with a
// FormatTimestamp text.
std::string screenshotFileName(ScreenshotKind kind, const std::string& timestamp);

// The longest path the system takes, in UTF-16 units with the terminator.
constexpr size_t kMaxPathUnits = 260;

// folder + "\" + name (no second separator when the folder already ends in
// one). False, and nothing in path, when the whole path with its terminator
// needs more than kMaxPathUnits UTF-16 units: such a file is not written.
bool screenshotPath(const std::string& folder, const std::string& name, std::string& path);

enum class ScreenshotFailure { None, NoEncoder, PathTooLong, FolderNotWritable };

struct ScreenshotResult {
  bool saved = false;
  ScreenshotFailure failure = ScreenshotFailure::None;
  std::string path;  // the file written, or the one that could not be
};

// Short reason for a failure ("no PNG encoder", "path too long", "folder not
// writable").
const char* screenshotFailureText(ScreenshotFailure failure);
// The notice after a manual screenshot: "Screenshot saved" only after a real
// save, else "Screenshot not saved: " and the reason.
std::string screenshotNoticeText(const ScreenshotResult& result);

}  // namespace sk720
