#pragma once
// The serial port lists of the toolbar: sorted by port number, the GPS list
// with "N/A" first, the selection kept by port number across refreshes.
#include <cstdint>
#include <string>
#include <vector>

namespace sk720 {

struct PortListEntry {
  uint32_t number = 0;
  std::wstring name; // "COM7"
};

void sortPortsByNumber(std::vector<PortListEntry> &ports);

// Index to select in the head list for a port number: the entry with that
// number, else 0 (the first), or -1 when the list is empty.
int32_t headPortSelection(const std::vector<PortListEntry> &ports,
                          uint32_t number);
// Index in the GPS list (entry 0 is "N/A"): the entry with that number, else 0.
int32_t gpsPortSelection(const std::vector<PortListEntry> &ports,
                         uint32_t number);
// The port number of a list selection; 0 for none, "N/A" or an index out of
// range.
uint32_t headPortNumberAt(const std::vector<PortListEntry> &ports,
                          int32_t selection);
uint32_t gpsPortNumberAt(const std::vector<PortListEntry> &ports,
                         int32_t selection);

// Baud lists and the entry to preselect for a stored rate (the default when it
// is not listed).
extern const int32_t kHeadBaudChoices[5];
extern const int32_t kGpsBaudChoices[6];
int32_t headBaudSelection(uint32_t storedBaud, bool readable); // default 921600
int32_t gpsBaudSelection(uint32_t storedBaud, bool readable);  // default 4800

} // namespace sk720
