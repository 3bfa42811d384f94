// Reading control contents that live in the program's process: the status bar texts through a
// buffer allocated in the target, combo boxes, and the pixels a window shows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sk720drive {

// Text of one status bar part; nothing when the target's memory cannot be reached.
std::optional<std::wstring> statusText(HWND statusBar, int part);

struct ComboContents {
  int selection = -1;
  std::vector<std::wstring> items;
};
ComboContents comboContents(HWND combo);

// A hash of what the screen shows inside a window.
std::optional<uint64_t> pictureHash(HWND w);

}  // namespace sk720drive
