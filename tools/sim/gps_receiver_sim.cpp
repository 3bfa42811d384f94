#include "sim/gps_receiver_sim.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sk720::sim {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Degrees to whole degrees and minutes with four decimals, rounding once so that 59.99996'
// carries into the next degree instead of printing as 60.0000'.
std::string nmeaAngle(double deg, int degreeDigits, char positive, char negative) {
  const int64_t tenThousandths = std::llround(std::fabs(deg) * 60.0 * 10000.0);
  const int64_t d = tenThousandths / 600000;
  const int64_t m = tenThousandths % 600000;
  char text[40];
  std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degreeDigits, (long long)d,
                (long long)(m / 10000), (long long)(m % 10000), deg < 0 ? negative : positive);
  return text;
}

struct Satellite {
  int prn, elevation, azimuth, snr;
};
constexpr Satellite kSky[] = {
    {3, 67, 212, 44},  {6, 41, 58, 41}, {9, 22, 301, 36},  {12, 15, 140, 33}, {17, 73, 12, 47},
    {19, 35, 266, 40}, {22, 9, 95, 28}, {24, 52, 172, 45}, {28, 18, 330, 31}, {31, 5, 27, 0}};
constexpr int kInView = int(sizeof kSky / sizeof kSky[0]);
constexpr int kInUse = 8;

}  // namespace

uint8_t nmeaChecksum(const std::string& body) {
  uint8_t sum = 0;
  for (char c : body) sum ^= uint8_t(c);
  return sum;
}

std::string nmeaLatitude(double deg) { return nmeaAngle(deg, 2, 'N', 'S'); }
std::string nmeaLongitude(double deg) { return nmeaAngle(deg, 3, 'E', 'W'); }

GpsReceiverSim::GpsReceiverSim(const GpsSimPlan& plan)
    : plan_(plan), latDeg_(plan.startLatDeg), lonDeg_(plan.startLonDeg), rng_(plan.seed) {
  if (!(plan_.rateHz > 0.0)) plan_.rateHz = 1.0;
}

std::string GpsReceiverSim::sentence(const std::string& body) {
  uint8_t sum = nmeaChecksum(body);
  if (plan_.badChecksumRate > 0.0 &&
      std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < plan_.badChecksumRate) {
    sum ^= 0x5A;
  }
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X%s", sum, plan_.lfOnly ? "\n" : "\r\n");
  return "$" + body + tail;
}

std::string GpsReceiverSim::nextEpoch() {
  const double seconds = double(epoch_) / plan_.rateHz;
  const int64_t whole = plan_.startUtcSeconds + int64_t(std::floor(seconds));
  const int centis = int(std::lround((seconds - std::floor(seconds)) * 100.0)) % 100;
  const int64_t dayNumber = whole >= 0 ? whole / 86400 : (whole - 86399) / 86400;
  const int64_t secondOfDay = whole - dayNumber * 86400;
  // Civil date from days since 1970-01-01.
  const int64_t z = dayNumber + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = int(doy - (153 * mp + 2) / 5 + 1);
  const int month = int(mp < 10 ? mp + 3 : mp - 9);
  const int year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));

  char time[16], date[8];
  std::snprintf(time, sizeof time, "%02d%02d%02d.%02d", int(secondOfDay / 3600),
                int(secondOfDay / 60 % 60), int(secondOfDay % 60), centis);
  std::snprintf(date, sizeof date, "%02d%02d%02d", day, month, year % 100);
  const std::string lat = nmeaLatitude(latDeg_);
  const std::string lon = nmeaLongitude(lonDeg_);
  const std::string& t = plan_.talker;
  const double pdop = std::sqrt(plan_.hdop * plan_.hdop + plan_.vdop * plan_.vdop);
  char buf[160];
  std::string out;

  std::snprintf(buf, sizeof buf, "%sGGA,%s,%s,%s,%d,%02d,%.1f,%.1f,M,46.9,M,,", t.c_str(), time,
                lat.c_str(), lon.c_str(), plan_.quality, kInUse, plan_.hdop, 12.5);
  out += sentence(buf);

  std::string gsa = t + "GSA,A,3";
  for (int i = 0; i < 12; ++i) {
    gsa += ',';
    if (i < kInUse) {
      char prn[8];
      std::snprintf(prn, sizeof prn, "%02d", kSky[i].prn);
      gsa += prn;
    }
  }
  std::snprintf(buf, sizeof buf, ",%.1f,%.1f,%.1f", pdop, plan_.hdop, plan_.vdop);
  out += sentence(gsa + buf);

  const int sentences = (kInView + 3) / 4;
  for (int s = 0; s < sentences; ++s) {
    // A receiver that combines systems reports its satellites in view per system: ours are GPS.
    const char* gsvTalker = t == "GN" ? "GP" : t.c_str();
    std::snprintf(buf, sizeof buf, "%sGSV,%d,%d,%02d", gsvTalker, sentences, s + 1, kInView);
    std::string gsv = buf;
    for (int k = s * 4; k < kInView && k < s * 4 + 4; ++k) {
      const Satellite& sat = kSky[k];
      if (sat.snr > 0) {
        std::snprintf(buf, sizeof buf, ",%02d,%02d,%03d,%02d", sat.prn, sat.elevation, sat.azimuth,
                      sat.snr);
      } else {  // not tracked: receivers leave the SNR empty
        std::snprintf(buf, sizeof buf, ",%02d,%02d,%03d,", sat.prn, sat.elevation, sat.azimuth);
      }
      gsv += buf;
    }
    out += sentence(gsv);
  }

  std::snprintf(buf, sizeof buf, "%sRMC,%s,A,%s,%s,%.1f,%.1f,%s,3.1,W,A", t.c_str(), time,
                lat.c_str(), lon.c_str(), plan_.speedKnots, plan_.courseDeg, date);
  out += sentence(buf);
  std::snprintf(buf, sizeof buf, "%sVTG,%.1f,T,%.1f,M,%.1f,N,%.1f,K", t.c_str(), plan_.courseDeg,
                std::fmod(plan_.courseDeg + 3.1, 360.0), plan_.speedKnots,
                plan_.speedKnots * 1.852);
  out += sentence(buf);

  // Flat-earth dead reckoning is plenty over the distances a test or a demo covers.
  const double hours = 1.0 / plan_.rateHz / 3600.0;
  const double nauticalMiles = plan_.speedKnots * hours;
  const double course = plan_.courseDeg * kPi / 180.0;
  latDeg_ = std::clamp(latDeg_ + nauticalMiles * std::cos(course) / 60.0, -89.9, 89.9);
  const double cosLat = std::max(std::cos(latDeg_ * kPi / 180.0), 1e-6);
  lonDeg_ += nauticalMiles * std::sin(course) / (60.0 * cosLat);
  if (lonDeg_ > 180.0) lonDeg_ -= 360.0;
  if (lonDeg_ < -180.0) lonDeg_ += 360.0;
  ++epoch_;
  return out;
}

std::vector<std::string> GpsReceiverSim::chunk(const std::string& bytes, int32_t maxPiece) {
  std::vector<std::string> pieces;
  if (maxPiece < 1) maxPiece = 1;
  std::uniform_int_distribution<int32_t> size(1, maxPiece);
  for (size_t at = 0; at < bytes.size();) {
    const size_t n = std::min(bytes.size() - at, size_t(size(rng_)));
    pieces.push_back(bytes.substr(at, n));
    at += n;
  }
  return pieces;
}

}  // namespace sk720::sim
