#pragma once
// The five understood sentence types: reading one from its text and applying it to a NavInfo.
#include <cstdint>
#include <string_view>

#include "gps/nav_info.h"

namespace sk720 {

// What one sentence reported; only the values its type carries are meaningful.
struct ParsedSentence {
  int32_t type = 0;        // a SentenceType
  char talker[3] = {};     // as received: "GP", "GN"
  int32_t time[4] = {};    // hour, minute, second, hundredths
  int32_t date[3] = {};    // RMC: day, month 1..12, two-digit year
  char status = 0;         // RMC: 'A' valid, 'V' warning
  char latHemisphere = 0;  // 'N' or other
  char lonHemisphere = 0;  // 'E' or other
  double lat = 0.0;
  double lon = 0.0;
  int32_t quality = 0;  // GGA
  int32_t fixType = 0;  // GSA
  double pdop = 0.0;
  double hdop = 0.0;
  double vdop = 0.0;
  double altitude = 0.0;
  double speedKnots = 0.0;
  double speedKmh = 0.0;
  double track = 0.0;
  double trackMagnetic = 0.0;
};

// The type tag of a sentence body starting at "$" ("$GPGGA..." gives kSentenceGga), or 0. The
// combined talker "GN" counts as "GP" for every type but GSV; other talkers give 0.
int32_t sentenceTypeOf(std::string_view text);

// Reads a sentence of the given type from its text ("$" up to and including "*"). On failure
// reports the type's message through nmeaError and returns false.
bool parseSentence(int32_t type, std::string_view text, ParsedSentence& out);

void applySentence(const ParsedSentence& s, NavInfo& nav);

}  // namespace sk720
