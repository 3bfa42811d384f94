#pragma once
// The body of `sk720 nmea`: decodes an NMEA stream and writes one JSON line per applied
// sentence, or with `summary` one line of counts. Returns the exit code.
#include <cstdio>

namespace sk720::cli {

int decodeNmea(std::FILE* in, std::FILE* out, bool summary);

}  // namespace sk720::cli
