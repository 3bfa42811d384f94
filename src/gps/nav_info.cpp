#include "gps/nav_info.h"

#include <cmath>

namespace sk720 {

void NavInfo::Reset(std::chrono::system_clock::time_point now) {
  using namespace std::chrono;
  *this = NavInfo{};
  const auto day = floor<days>(now);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> time{floor<milliseconds>(now - day)};
  utc[kUtcYear] = int32_t(date.year()) - 1900;
  utc[kUtcMonth] = int32_t(unsigned(date.month())) - 1;
  utc[kUtcDay] = int32_t(unsigned(date.day()));
  utc[kUtcHour] = int32_t(time.hours().count());
  utc[kUtcMinute] = int32_t(time.minutes().count());
  utc[kUtcSecond] = int32_t(time.seconds().count());
  utc[kUtcHundredths] = int32_t(time.subseconds().count() / 10);
  signal = 0;
  fixType = 1;
}

double NmeaToRadians(double value) {
  const double d = std::trunc(value / 100.0);
  const double degrees = d + (value - 100.0 * d) / 60.0;
  return degrees * 0.017453292519943295;
}

}  // namespace sk720
