#pragma once
// A simulated GPS receiver: the NMEA sentences (GGA, GSA, GSV, RMC, VTG) a receiver on a moving
// vessel sends once per epoch, with optional faults. The gpssim command, tests and the fuzz seed
// corpus draw from it.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace sk720::sim {

struct GpsSimPlan {
  std::string talker = "GP";      // "GN": a multi-system receiver (its GSV stay "GP")
  double rateHz = 1.0;            // epochs per second
  double startLatDeg = 35.0950;   // north positive
  double startLonDeg = 129.0400;  // east positive
  double speedKnots = 5.0;
  double courseDeg = 45.0;  // true, clockwise from north
  int32_t quality = 1;      // GGA fix quality
  double hdop = 0.9;
  double vdop = 1.2;
  int64_t startUtcSeconds = 1567427719;  // 2019-09-02 12:35:19 UTC
  double badChecksumRate = 0.0;          // share of sentences sent with a wrong checksum
  bool lfOnly = false;                   // end lines with LF alone
  uint64_t seed = 1;
};

class GpsReceiverSim {
 public:
  explicit GpsReceiverSim(const GpsSimPlan& plan);
  // The sentences of the next epoch, then moves the vessel on by one epoch.
  std::string nextEpoch();
  // Position the next epoch will report, in degrees.
  double latDeg() const { return latDeg_; }
  double lonDeg() const { return lonDeg_; }
  // Cuts a stream into random pieces of 1..maxPiece bytes, as a serial line delivers it.
  std::vector<std::string> chunk(const std::string& bytes, int32_t maxPiece);

 private:
  std::string sentence(const std::string& body);

  GpsSimPlan plan_;
  double latDeg_;
  double lonDeg_;
  int64_t epoch_ = 0;
  std::mt19937_64 rng_;
};

// "*hh" checksum of a sentence body between "$" and "*".
uint8_t nmeaChecksum(const std::string& body);
// ddmm.mmmm,N / dddmm.mmmm,E fields of a position in degrees.
std::string nmeaLatitude(double deg);
std::string nmeaLongitude(double deg);

}  // namespace sk720::sim
