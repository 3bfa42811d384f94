#pragma once
// Process-wide diagnostics of the NMEA parser: a trace of every framed sentence and error
// messages. Without installed callbacks nothing is formatted.
#include <string_view>

namespace sk720 {

using NmeaTraceCallback = void (*)(std::string_view sentence);
using NmeaErrorCallback = void (*)(const char* message);

// Either may be null (discard). Safe to call while a parser runs on another thread.
void setNmeaCallbacks(NmeaTraceCallback trace, NmeaErrorCallback error);

void nmeaTrace(std::string_view sentence);
// printf-style; the text is cut to 1023 characters.
void nmeaError(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace sk720
