#pragma once
// The port table behind the port combo boxes: number and display name of each serial port.
#include <cstdint>
#include <string>
#include <string_view>

namespace sk720 {

struct ComPortEntry {
  uint32_t portNumber = 0;  // the number after "COM"; 0 ends the table
  char16_t name[256] = {};  // zero-terminated display name
};
static_assert(sizeof(ComPortEntry) == 516);
constexpr int32_t kComPortTableSize = 256;  // at most 255 entries, then the zero entry

// True when the text starts with "COM" in any case.
bool isComPortText(std::u16string_view text);
// The leading decimal digits after "COM" (0 when there are none).
uint32_t comPortNumberFromText(std::u16string_view text);
// Copies a name, cut to 255 characters.
void setComPortName(ComPortEntry& entry, std::u16string_view text);
void setComPortName(ComPortEntry& entry, std::string_view ascii);
std::string comPortNameUtf8(const ComPortEntry& entry);  // names are ASCII on both systems
// Sorts the entries before the first zero entry by port number.
void sortComPorts(ComPortEntry* table);

}  // namespace sk720
