#include "app/port_lists.h"

#include <algorithm>

namespace sk720 {

const int32_t kHeadBaudChoices[5] = {115200, 230400, 460800, 921600, 1000000};
const int32_t kGpsBaudChoices[6] = {4800, 9600, 19200, 38400, 57600, 115200};

namespace {

int32_t indexOfNumber(const std::vector<PortListEntry>& ports, uint32_t number) {
  if (number == 0) return -1;  // 0 names no port
  for (size_t i = 0; i < ports.size(); ++i) {
    if (ports[i].number == number) return int32_t(i);
  }
  return -1;
}

template <size_t N>
int32_t baudSelection(const int32_t (&choices)[N], uint32_t storedBaud, bool readable,
                      int32_t fallback) {
  if (readable) {
    for (size_t i = 0; i < N; ++i) {
      if (uint32_t(choices[i]) == storedBaud) return int32_t(i);
    }
  }
  for (size_t i = 0; i < N; ++i) {
    if (choices[i] == fallback) return int32_t(i);
  }
  return 0;
}

}  // namespace

void sortPortsByNumber(std::vector<PortListEntry>& ports) {
  std::stable_sort(ports.begin(), ports.end(),
                   [](const PortListEntry& a, const PortListEntry& b) { return a.number < b.number; });
}

int32_t headPortSelection(const std::vector<PortListEntry>& ports, uint32_t number) {
  if (ports.empty()) return -1;
  return std::max(indexOfNumber(ports, number), 0);
}

int32_t gpsPortSelection(const std::vector<PortListEntry>& ports, uint32_t number) {
  return indexOfNumber(ports, number) + 1;  // "N/A" when the port is gone
}

uint32_t headPortNumberAt(const std::vector<PortListEntry>& ports, int32_t selection) {
  if (selection < 0 || size_t(selection) >= ports.size()) return 0;
  return ports[size_t(selection)].number;
}

uint32_t gpsPortNumberAt(const std::vector<PortListEntry>& ports, int32_t selection) {
  return headPortNumberAt(ports, selection - 1);
}

int32_t headBaudSelection(uint32_t storedBaud, bool readable) {
  return baudSelection(kHeadBaudChoices, storedBaud, readable, 921600);
}

int32_t gpsBaudSelection(uint32_t storedBaud, bool readable) {
  return baudSelection(kGpsBaudChoices, storedBaud, readable, 4800);
}

}  // namespace sk720
