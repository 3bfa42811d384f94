#include "app/playback_commands.h"

namespace sk720 {

namespace {

constexpr int32_t kFastestSpeed = 16;
constexpr const wchar_t* kPlayText = L"\u25BA";

}  // namespace

std::wstring speedButtonText(int32_t speed) {
  // The button names what the next click does: double the speed, or back to normal play.
  if (speed <= 0 || speed >= kFastestSpeed) return kPlayText;
  return L"x" + std::to_wstring(2 * speed);
}

SpeedStep nextPlaybackSpeed(int32_t current) {
  SpeedStep step;
  step.speed = (current <= 0 || current >= kFastestSpeed) ? 1 : 2 * current;
  step.text = speedButtonText(step.speed);
  return step;
}

std::vector<std::wstring> parseOpenFileSelection(const wchar_t* buffer, size_t bufferChars,
                                                 bool firstIsFolder) {
  std::vector<std::wstring> paths;
  if (buffer == nullptr) return paths;
  // Entries end with a zero character; one that runs to the end of the buffer was cut short by
  // the dialog and is dropped rather than opened under a wrong name.
  size_t at = 0;
  auto nextEntry = [&](std::wstring& entry) {
    size_t end = at;
    while (end < bufferChars && buffer[end] != L'\0') ++end;
    if (end >= bufferChars) return false;
    entry.assign(buffer + at, end - at);
    at = end + 1;
    return true;
  };

  std::wstring first;
  if (!nextEntry(first) || first.empty()) return paths;
  if (!firstIsFolder) {
    paths.push_back(std::move(first));
    return paths;
  }
  // A drive's root comes with its separator already.
  const bool hasSeparator = first.back() == L'\\' || first.back() == L'/';
  std::wstring name;
  while (paths.size() < kMaxPlaybackFiles && nextEntry(name) && !name.empty()) {
    paths.push_back(hasSeparator ? first + name : first + L'\\' + name);
  }
  return paths;
}

bool isRecordFileStart(const uint8_t* bytes, size_t count) {
  if (bytes == nullptr || count < 16) return false;
  if (bytes[0] != 'D' || bytes[1] != 'A' || bytes[2] != 'T' || bytes[3] != 'A') return false;
  const uint32_t firstRecordLength = uint32_t(bytes[12]) | uint32_t(bytes[13]) << 8 |
                                     uint32_t(bytes[14]) << 16 | uint32_t(bytes[15]) << 24;
  return firstRecordLength > 16;
}

}  // namespace sk720
