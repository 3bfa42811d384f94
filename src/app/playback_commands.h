#pragma once
// Rules behind "Open File" and the playback buttons: the speed button's cycle,
// the selection list of the open-file dialog, and the check of a file's first
// 16 bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sk720 {

constexpr size_t kMaxPlaybackFiles = 256;
constexpr size_t kOpenFileBufferChars = 66560;

// The speed button: the new speed and the text naming the speed of the next
// click
// ("x2", "x4", "x8", "x16", or "►").
struct SpeedStep {
  int32_t speed = 1;
  std::wstring text;
};
SpeedStep nextPlaybackSpeed(int32_t current);
// Text of the button for a speed just set (1 shows "x2", 16 shows "►").
std::wstring speedButtonText(int32_t speed);

// The open-file dialog's buffer: either one path, or a folder followed by
// names, each ended by a zero character, the list by an empty name. isFolder
// tells which (the caller asks the system). At most kMaxPlaybackFiles paths;
// joined with "\" without any length limit of its own.
std::vector<std::wstring> parseOpenFileSelection(const wchar_t *buffer,
                                                 size_t bufferChars,
                                                 bool firstIsFolder);

// A record file begins with "DATA" and its first record is longer than 16 bytes
// (the 32-bit little-endian value at bytes 12..15).
bool isRecordFileStart(const uint8_t *bytes, size_t count);

} // namespace sk720
