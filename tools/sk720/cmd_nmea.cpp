// sk720 nmea: decodes a receiver's NMEA log and shows what the program would publish from it.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "gps/gps_fix.h"
#include "gps/gps_reader.h"
#include "gps/sentence_parser.h"
#include "sk720/commands.h"
#include "sk720/nmea_decode.h"
#include "sk720/options.h"
#include "sk720/path_checks.h"

namespace sk720::cli {
namespace {

// The sentence's name as it was received: "GNRMC" stays "GNRMC".
std::string typeName(const ParsedSentence& s) {
  const char* kind = "?";
  switch (s.type) {
    case kSentenceGga:
      kind = "GGA";
      break;
    case kSentenceGsa:
      kind = "GSA";
      break;
    case kSentenceGsv:
      kind = "GSV";
      break;
    case kSentenceRmc:
      kind = "RMC";
      break;
    case kSentenceVtg:
      kind = "VTG";
      break;
    default:
      break;
  }
  return std::string(s.talker) + kind;
}

// JSON has no infinities: absurd inputs (a 200-digit dilution) print as null.
std::string number(double v, int decimals) {
  if (!std::isfinite(v)) return "null";
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

void printApplied(std::FILE* out, const ParsedSentence& sentence, const NavInfo& nav) {
  GpsFix fix;
  publishGpsFix(nav, fix);
  constexpr double kDegrees = 57.29577951308232;
  const double lat = fix.lat.load();
  const double lon = fix.lon.load();
  const int32_t* u = nav.utc;
  std::fprintf(out,
               "{\"type\":\"%s\",\"lat\":%s,\"lon\":%s,\"latDeg\":%s,\"lonDeg\":%s,\"pdop\":%s,"
               "\"sig\":%d,\"fix\":%d,\"utc\":\"%04d-%02d-%02dT%02d:%02d:%02d\","
               "\"hundredths\":%d}\n",
               typeName(sentence).c_str(), number(lat, 7).c_str(), number(lon, 7).c_str(),
               number(lat * kDegrees, 6).c_str(), number(lon * kDegrees, 6).c_str(),
               number(fix.pdop.load(), 2).c_str(), fix.sig.load(), fix.fix.load(),
               u[kUtcYear] + 1900, u[kUtcMonth] + 1, u[kUtcDay], u[kUtcHour], u[kUtcMinute],
               u[kUtcSecond], u[kUtcHundredths]);
}

}  // namespace

int decodeNmea(std::FILE* in, std::FILE* out, bool summary, const std::string& name) {
  SentenceParser parser;
  if (!parser.Create()) return fail("nmea", "cannot start the decoder", "out of memory");
  NavInfo nav;
  nav.Reset();
  if (!summary)
    parser.onApplied = [out](const ParsedSentence& s, const NavInfo& n) {
      printApplied(out, s, n);
    };
  // The reader's piece size, so that the log is framed exactly as the program would frame it.
  uint8_t bytes[64];
  size_t n;
  while ((n = std::fread(bytes, 1, sizeof bytes, in)) > 0) {
    if (parser.Feed(bytes, int32_t(n), nav) > 0) std::fflush(out);
  }
  if (std::ferror(in)) return fail("nmea", "reading the log failed", std::strerror(errno));
  const NmeaCounts& c = parser.counts();
  if (summary) {
    std::fprintf(out,
                 "{\"applied\":%lld,\"badChecksum\":%lld,\"foreign\":%lld,\"failed\":%lld,"
                 "\"broken\":%lld,\"overflows\":%lld,\"leftBytes\":%d}\n",
                 (long long)c.applied, (long long)c.badChecksum, (long long)c.foreign,
                 (long long)c.failed, (long long)c.broken, (long long)c.overflows, parser.fill());
  }
  std::fflush(out);
  // Nothing that even framed as a sentence is not a log: say so rather than print nothing.
  if (c.applied + c.badChecksum + c.foreign + c.failed == 0) {
    return fail("nmea", name, "no NMEA sentence found");
  }
  if (c.applied == 0 && !summary) {
    return fail("nmea", name,
                "no sentence could be used: " + std::to_string(c.badChecksum) +
                    " with a wrong checksum, " + std::to_string(c.foreign) + " of other types, " +
                    std::to_string(c.failed) + " with unreadable fields");
  }
  return 0;
}

int runNmea(const Args& args) {
  OptionReader r("nmea", args);
  std::string path;
  bool summary = false;
  while (!r.done()) {
    const std::string a = r.next();
    if (a == "--summary") {
      summary = true;
    } else if (a.size() > 1 && a[0] == '-') {
      r.unknownOption(a);
      return r.failure();
    } else if (path.empty()) {
      path = a;
    } else {
      return fail("nmea", "a second log " + a, "nmea reads one FILE or -");
    }
  }
  if (path.empty()) return fail("nmea", "no log given", "usage: sk720 nmea FILE|- [--summary]");
  std::FILE* in = stdin;
  if (path == "-") {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);  // CR LF must reach the framing untouched
#endif
  } else if (const std::string why = unreadableReason(path, InputKind::Stream); !why.empty()) {
    return fail("nmea", path, why);
  } else if (!(in = std::fopen(path.c_str(), "rb"))) {
    return fail("nmea", path, std::strerror(errno));
  }
  const int status = decodeNmea(in, stdout, summary, path == "-" ? "standard input" : path);
  if (in != stdin) std::fclose(in);
  return status;
}

}  // namespace sk720::cli
