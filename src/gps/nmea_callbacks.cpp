#include "gps/nmea_callbacks.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace sk720 {
namespace {

std::atomic<NmeaTraceCallback> traceCallback{nullptr};
std::atomic<NmeaErrorCallback> errorCallback{nullptr};

}  // namespace

void setNmeaCallbacks(NmeaTraceCallback trace, NmeaErrorCallback error) {
  traceCallback.store(trace);
  errorCallback.store(error);
}

void nmeaTrace(std::string_view sentence) {
  if (NmeaTraceCallback trace = traceCallback.load()) trace(sentence);
}

void nmeaError(const char* format, ...) {
  NmeaErrorCallback error = errorCallback.load();
  if (!error) return;
  char message[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  error(message);
}

}  // namespace sk720
