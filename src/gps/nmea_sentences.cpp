#include "gps/nmea_sentences.h"

#include "gps/nmea_callbacks.h"
#include "gps/nmea_fields.h"

namespace sk720 {
namespace {

bool digitsAt(std::string_view s, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

// The sentence from its formatter on ("GGA,..."): the talker was checked by sentenceTypeOf.
std::string_view afterTalker(std::string_view text) {
  return text.size() >= 3 ? text.substr(3) : std::string_view();
}

int32_t twoDigits(std::string_view s, size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

// hhmmss or hhmmss.f to hhmmss.fff. The length is checked first, so an overlong field is never
// copied or converted.
bool parseTime(std::string_view text, ParsedSentence& out) {
  const size_t n = text.size();
  const bool lengthOk = n == 6 || n == 8 || n == 9 || n == 10;
  if (!lengthOk || !digitsAt(text, 0, 6) || (n > 6 && (text[6] != '.' || !digitsAt(text, 7, n)))) {
    nmeaError("Parse of time error (format error)!");
    return false;
  }
  out.time[0] = twoDigits(text, 0);
  out.time[1] = twoDigits(text, 2);
  out.time[2] = twoDigits(text, 4);
  int32_t fraction = 0;
  for (size_t i = 7; i < n; ++i) fraction = fraction * 10 + (text[i] - '0');
  out.time[3] = fraction;
  return true;
}

bool parseGga(std::string_view text, ParsedSentence& s) {
  std::string_view time;
  char altitudeUnit = 0, separationUnit = 0;
  int32_t satellites = 0, station = 0;
  double separation = 0.0, age = 0.0;
  const FieldTarget targets[] = {
      &time,       &s.lat,  &s.latHemisphere, &s.lon,        &s.lonHemisphere, &s.quality,
      &satellites, &s.hdop, &s.altitude,      &altitudeUnit, &separation,      &separationUnit,
      &age,        &station};
  if (scanFields(afterTalker(text), "GGA,%s,%f,%C,%f,%C,%d,%d,%f,%f,%C,%f,%C,%f,%d*", targets) !=
      14) {
    nmeaError("GPGGA parse error!");
    return false;
  }
  if (!parseTime(time, s)) {
    nmeaError("GPGGA time parse error!");
    return false;
  }
  return true;
}

bool parseGsa(std::string_view text, ParsedSentence& s) {
  char mode = 0;
  int32_t used[12] = {};
  const FieldTarget targets[] = {&mode,     &s.fixType, &used[0], &used[1], &used[2], &used[3],
                                 &used[4],  &used[5],   &used[6], &used[7], &used[8], &used[9],
                                 &used[10], &used[11],  &s.pdop,  &s.hdop,  &s.vdop};
  if (scanFields(afterTalker(text), "GSA,%C,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%f,%f,%f*",
                 targets) != 17) {
    nmeaError("GPGSA parse error!");
    return false;
  }
  return true;
}

bool parseGsv(std::string_view text) {
  int32_t v[19] = {};
  FieldTarget targets[19];
  for (int i = 0; i < 19; ++i) targets[i] = &v[i];
  const int32_t n = scanFields(
      afterTalker(text), "GSV,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d*", targets);
  // Sentences before the last describe four satellites; the last one what remains.
  const int64_t count = v[0], index = v[1], inView = v[2];
  int64_t described = index < count ? 4 : inView - 4 * (index - 1);
  described = described < 0 ? 0 : (described > 4 ? 4 : described);
  if (n < 3 + 4 * described) {
    nmeaError("GPGSV parse error!");
    return false;
  }
  return true;
}

bool parseRmc(std::string_view text, ParsedSentence& s) {
  std::string_view time;
  char variationSide = 0, mode = 0;
  double variation = 0.0;
  const FieldTarget targets[] = {
      &time,          &s.status, &s.lat,     &s.latHemisphere, &s.lon,     &s.lonHemisphere,
      &s.speedKnots,  &s.track,  &s.date[0], &s.date[1],       &s.date[2], &variation,
      &variationSide, &mode};
  const int32_t n =
      scanFields(afterTalker(text), "RMC,%s,%C,%f,%C,%f,%C,%f,%f,%2d%2d%2d,%f,%C,%C*", targets);
  if (n != 13 && n != 14) {
    nmeaError("GPRMC parse error!");
    return false;
  }
  if (!parseTime(time, s)) {
    nmeaError("GPRMC time parse error!");
    return false;
  }
  return true;
}

bool parseVtg(std::string_view text, ParsedSentence& s) {
  char t = 0, m = 0, n = 0, k = 0;
  const FieldTarget targets[] = {&s.track,      &t, &s.trackMagnetic, &m,
                                 &s.speedKnots, &n, &s.speedKmh,      &k};
  if (scanFields(afterTalker(text), "VTG,%f,%C,%f,%C,%f,%C,%f,%C*", targets) != 8) {
    nmeaError("GPVTG parse error!");
    return false;
  }
  if (t != 'T' || m != 'M' || n != 'N' || k != 'K') {
    nmeaError("GPVTG parse error (format error)!");
    return false;
  }
  return true;
}

}  // namespace

int32_t sentenceTypeOf(std::string_view text) {
  if (text.size() < 6 || text[0] != '$') return 0;
  const std::string_view talker = text.substr(1, 2);
  const std::string_view formatter = text.substr(3, 3);
  int32_t type = 0;
  if (formatter == "GGA") type = kSentenceGga;
  if (formatter == "GSA") type = kSentenceGsa;
  if (formatter == "GSV") type = kSentenceGsv;
  if (formatter == "RMC") type = kSentenceRmc;
  if (formatter == "VTG") type = kSentenceVtg;
  if (talker == "GP") return type;
  // Receivers that combine several satellite systems send their fixes as "GN"; their satellites
  // in view come per system (GP, GL, ...), and of those only the GPS ones are taken.
  if (talker == "GN" && type != kSentenceGsv) return type;
  return 0;
}

bool parseSentence(int32_t type, std::string_view text, ParsedSentence& out) {
  out = ParsedSentence{};
  out.type = type;
  switch (type) {
    case kSentenceGga:
      return parseGga(text, out);
    case kSentenceGsa:
      return parseGsa(text, out);
    case kSentenceGsv:
      return parseGsv(text);
    case kSentenceRmc:
      return parseRmc(text, out);
    case kSentenceVtg:
      return parseVtg(text, out);
    default:
      return false;
  }
}

void applySentence(const ParsedSentence& s, NavInfo& nav) {
  const double lat = s.latHemisphere == 'N' ? s.lat : -s.lat;
  const double lon = s.lonHemisphere == 'E' ? s.lon : -s.lon;
  switch (s.type) {
    case kSentenceGga:
      for (int i = 0; i < 4; ++i) nav.utc[kUtcHour + i] = s.time[i];
      nav.signal = s.quality;
      nav.HDOP = s.hdop;
      nav.elevation = s.altitude;
      nav.lat = lat;
      nav.lon = lon;
      break;
    case kSentenceGsa:
      nav.fixType = s.fixType;
      nav.PDOP = s.pdop;
      nav.HDOP = s.hdop;
      nav.VDOP = s.vdop;
      break;
    case kSentenceGsv:
      break;
    case kSentenceRmc:
      if (s.status == 'A') {
        if (nav.signal == 0) nav.signal = 2;
        if (nav.fixType == 1) nav.fixType = 2;
      } else if (s.status == 'V') {
        nav.signal = 0;
        nav.fixType = 1;
      }
      nav.utc[kUtcYear] = s.date[2] < 90 ? s.date[2] + 100 : s.date[2];
      nav.utc[kUtcMonth] = s.date[1] - 1;
      nav.utc[kUtcDay] = s.date[0];
      for (int i = 0; i < 4; ++i) nav.utc[kUtcHour + i] = s.time[i];
      nav.lat = lat;
      nav.lon = lon;
      nav.speed = s.speedKnots * 1.852;
      nav.direction = s.track;
      break;
    case kSentenceVtg:
      nav.direction = s.track;
      nav.declination = s.trackMagnetic;
      nav.speed = s.speedKmh;
      break;
    default:
      return;
  }
  nav.mask |= s.type;
}

}  // namespace sk720
