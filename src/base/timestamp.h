#pragma once
// Local date and time as the record and screenshot names carry it: "%04d%02d%02d_%02d%02d%02d".
#include <ctime>
#include <string>

namespace sk720 {

std::string FormatTimestamp(const std::tm& local);
// The current local time.
std::string FormatTimestamp();

}  // namespace sk720
