#pragma once
// The body of `sk720 nmea`: decodes an NMEA stream and writes one JSON line per applied
// sentence, or with `summary` one line of counts. Returns the exit code: 2 with an error line
// naming `name` when nothing in the stream framed as a sentence.
#include <cstdio>
#include <string>

namespace sk720::cli {

int decodeNmea(std::FILE* in, std::FILE* out, bool summary, const std::string& name);

}  // namespace sk720::cli
