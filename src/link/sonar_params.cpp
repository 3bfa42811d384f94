#include "link/sonar_params.h"

#include <algorithm>
#include <cstdlib>

#include "base/byte_order.h"

namespace sk720 {

const char* const kRangeTexts[kRangeCount] = {"1.5", "2.5", "3",  "5",  "6",   "7.5", "10", "15",
                                              "20",  "30",  "45", "60", "100", "120", "150"};
const int32_t kRangeValuesMm[kRangeCount] = {1500,  2500,  3000,   5000,   6000,
                                             7500,  10000, 15000,  20000,  30000,
                                             45000, 60000, 100000, 120000, 150000};
const int32_t kRangeSamples[kRangeCount] = {240,  368,  448,  704,  848,   1040,  1376, 2048,
                                            2704, 4048, 6048, 8000, 13340, 16000, 20000};
const char* const kStepTexts[kStepCount] = {"Stop", "Slowest", "Slow", "Normal", "Fast", "Fastest"};
const int32_t kStepValues[kStepCount] = {0, 1, 2, 4, 8, 16};
const char* const kGainTexts[kGainCount] = {"+15", "+12", "+9", "+6",  "+3", "0",
                                            "-3",  "-6",  "-9", "-12", "-15"};
const char* const kCwLengthTexts[kCwLengthCount] = {"10", "20", "30", "50",
                                                    "60", "70", "80", "100"};
const char* const kSectorHeadingTexts[kSectorHeadingCount] = {
    "0\xC2\xB0",   "45\xC2\xB0",  "90\xC2\xB0",  "135\xC2\xB0",
    "180\xC2\xB0", "225\xC2\xB0", "270\xC2\xB0", "315\xC2\xB0"};
const int32_t kSectorHeadingsUp[kSectorHeadingCount] = {0, 400, 800, 1200, 1600, 2000, 2400, 2800};
const int32_t kSectorHeadingsDown[kSectorHeadingCount] = {0,    2800, 2400, 2000,
                                                          1600, 1200, 800,  400};
const char* const kSectorWidthTexts[kSectorWidthCount] = {"45\xC2\xB0", "90\xC2\xB0", "135\xC2\xB0",
                                                          "180\xC2\xB0"};
const int32_t kSectorWidths[kSectorWidthCount] = {400, 800, 1200, 1600};

namespace {

int32_t clampIndex(int32_t index, int32_t count) { return std::clamp(index, 0, count - 1); }

// The numeric lists are their shown texts read as integers, so the texts stay the one source.
int32_t textValue(const char* text) { return int32_t(std::strtol(text, nullptr, 10)); }

int32_t cwLengthAt(int32_t index) {
  return (index >= 0 && index < kCwLengthCount) ? textValue(kCwLengthTexts[index]) : 20;
}

int32_t stepCode(int32_t step) {
  switch (step) {
    case 1:
      return 1;
    case 2:
      return 2;
    case 4:
      return 3;
    case 8:
      return 4;
    case 16:
      return 5;
    default:
      return 0;
  }
}

// Step, samples, ping period and sector: shared by both derivations.
void deriveMotion(SonarSettings& s, SonarParams& p, int32_t linkBaud) {
  s.stepIndex = clampIndex(s.stepIndex, kStepCount);
  s.rangeIndex = clampIndex(s.rangeIndex, kRangeCount);
  p.step = kStepValues[s.stepIndex];
  p.samples = kRangeSamples[s.rangeIndex];
  p.pingPeriod = pingPeriodFor(p.step, p.samples, linkBaud);
}

void deriveSector(SonarSettings& s, SonarParams& p) {
  if (s.sectorEnabled == 1) {
    s.sectorHeadingIndex = clampIndex(s.sectorHeadingIndex, kSectorHeadingCount);
    s.sectorWidthIndex = clampIndex(s.sectorWidthIndex, kSectorWidthCount);
    p.sectorHeading = sectorHeadingAt(s.sectorHeadingIndex, p.headUp != 0);
    p.sectorWidth = kSectorWidths[s.sectorWidthIndex];
  } else {
    s.sectorEnabled = 0;
    p.sectorWidth = 0;  // the heading keeps its last value
  }
}

// Reads at most three characters, as the dialog's edit fields hold.
std::string firstThree(const std::string& text) { return text.substr(0, 3); }

bool leadingInteger(const std::string& text, int32_t& value) {
  const std::string t = firstThree(text);
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 10);
  if (end == t.c_str()) return false;
  value = int32_t(v);
  return true;
}

bool leadingNumber(const std::string& text, double& value) {
  const std::string t = firstThree(text);
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end == t.c_str()) return false;
  value = v;
  return true;
}

}  // namespace

void storeSonarSettings(const SonarSettings& s, uint8_t* blob) {
  const int32_t words[18] = {
      s.formatTag,     s.rangeIndex,         s.pulseType,        s.cwLengthIndex, s.pulseVariant,
      s.sectorEnabled, s.sectorHeadingIndex, s.sectorWidthIndex, s.stepIndex,     s.rotationIndex,
      s.gainIndex,     s.reserved44,         s.reserved48,       s.tvgSlope,      s.reserved56,
      s.headUp,        s.centralFrequency,   s.bandwidth};
  static_assert(sizeof(words) == kSonarSettingsBlobSize);
  for (int i = 0; i < 18; ++i) storeI32(blob + 4 * i, words[i]);
}

SonarSettings loadSonarSettings(const uint8_t* blob) {
  SonarSettings s;
  int32_t* fields[18] = {
      &s.formatTag,        &s.rangeIndex,    &s.pulseType,          &s.cwLengthIndex,
      &s.pulseVariant,     &s.sectorEnabled, &s.sectorHeadingIndex, &s.sectorWidthIndex,
      &s.stepIndex,        &s.rotationIndex, &s.gainIndex,          &s.reserved44,
      &s.reserved48,       &s.tvgSlope,      &s.reserved56,         &s.headUp,
      &s.centralFrequency, &s.bandwidth};
  for (int i = 0; i < 18; ++i) *fields[i] = loadI32(blob + 4 * i);
  return s;
}

int32_t pulseModeFor(int32_t pulseType, int32_t pulseVariant, int32_t rangeIndex, int32_t current) {
  switch (pulseType) {
    case kPulseCw:
      return 0;
    case kPulseAuto:
      return rangeIndex <= 3 ? 0 : (rangeIndex <= 9 ? 1 : 2);
    case kPulseAfm: {
      static const int32_t modes[3] = {3, 1, 5};
      return (pulseVariant >= 0 && pulseVariant < 3) ? modes[pulseVariant] : current;
    }
    case kPulseFm: {
      static const int32_t modes[3] = {4, 2, 6};
      return (pulseVariant >= 0 && pulseVariant < 3) ? modes[pulseVariant] : current;
    }
    default:
      return current;
  }
}

int32_t pulseKind(int32_t pulseMode) {
  if (pulseMode == 0) return 0;
  return (pulseMode & 1) ? 1 : 2;
}

int32_t pingPeriodFor(int32_t step, int32_t samples, int32_t linkBaud) {
  const int32_t minimum = step * 1200 + (samples - 44) * 11 + 2000;
  if (linkBaud <= 0) return minimum;
  // Transmit time of one record in single precision, plus a tenth for the head's turnaround.
  const float seconds = float(samples) / float(linkBaud / 10);
  int32_t t = int32_t(seconds * 1000000.0f);
  t = t + t / 10;
  return t <= minimum ? minimum : t;
}

int32_t gainDbAt(int32_t gainIndex) {
  return (gainIndex >= 0 && gainIndex < kGainCount) ? textValue(kGainTexts[gainIndex]) : 0;
}

int32_t sectorHeadingAt(int32_t index, bool headUp) {
  if (index < 0 || index >= kSectorHeadingCount) return 0;
  return headUp ? kSectorHeadingsUp[index] : kSectorHeadingsDown[index];
}

void deriveSonarParams(SonarSettings& s, SonarParams& p, int32_t linkBaud) {
  s.gainIndex = clampIndex(s.gainIndex, kGainCount);
  p.gainDb = gainDbAt(s.gainIndex);
  deriveMotion(s, p, linkBaud);
  deriveSector(s, p);
  p.pulseMode = pulseModeFor(s.pulseType, s.pulseVariant, s.rangeIndex, p.pulseMode);
}

void applySonarDialog(SonarSettings& s, SonarParams& p, const SonarDialogValues& d,
                      int32_t linkBaud) {
  s.pulseType = d.pulseType;
  s.rangeIndex = clampIndex(d.rangeIndex, kRangeCount);
  s.cwLengthIndex = clampIndex(d.cwLengthIndex, kCwLengthCount);
  s.sectorHeadingIndex = clampIndex(d.sectorHeadingIndex, kSectorHeadingCount);
  s.sectorWidthIndex = clampIndex(d.sectorWidthIndex, kSectorWidthCount);
  s.stepIndex = clampIndex(d.stepIndex, kStepCount);
  s.rotationIndex = clampIndex(d.rotationIndex, 2);
  s.gainIndex = clampIndex(d.gainIndex, kGainCount);

  p.pulseMode = pulseModeFor(s.pulseType, s.pulseVariant, s.rangeIndex, p.pulseMode);
  p.gainDb = gainDbAt(s.gainIndex);
  p.cwLength = cwLengthAt(s.cwLengthIndex);

  if (d.tuningForm) {
    // A text that does not begin with a number leaves its value as it was.
    int32_t khz = 0, bw = 0;
    double tvg = 0.0;
    if (leadingInteger(d.centralFrequencyKhz, khz)) {
      s.centralFrequency = p.centralFrequency = khz * 1000;
    }
    if (leadingInteger(d.bandwidthKhz, bw)) s.bandwidth = p.bandwidth = bw * 1000;
    if (leadingNumber(d.tvgSlope, tvg)) s.tvgSlope = p.tvgSlope = int32_t(tvg * 80.0);
  }

  deriveMotion(s, p, linkBaud);
  s.sectorEnabled = d.sectorEnabled ? 1 : 0;
  deriveSector(s, p);  // uses the orientation before this dialog changes it

  s.headUp = p.headUp = d.headUp ? 1 : 0;
  p.reverse = p.headUp ^ (s.rotationIndex != 0 ? 1 : 0);
}

uint32_t buildCommandWord(const SonarParams& p) {
  const uint32_t headUp = p.headUp ? 1u : 0u;
  const int32_t absGain = p.gainDb < 0 ? -p.gainDb : p.gainDb;
  uint32_t word = 0;
  word |= uint32_t(pulseKind(p.pulseMode)) << 2;
  word |= headUp << 4;
  word |= (uint32_t(p.cwLength) & 0x3FF) << 5;
  word |= (uint32_t(absGain) & 15) << 15;
  word |= (p.gainDb <= 0 ? 1u : 0u) << 19;
  word |= uint32_t(stepCode(p.step)) << 20;
  const int32_t* headings = headUp ? kSectorHeadingsUp : kSectorHeadingsDown;
  for (uint32_t i = 0; i < uint32_t(kSectorHeadingCount); ++i) {
    if (headings[i] == p.sectorHeading) {
      word |= i << 24;
      break;
    }
  }
  for (uint32_t i = 0; i < uint32_t(kSectorWidthCount); ++i) {
    if (kSectorWidths[i] == p.sectorWidth) word |= i << 27;
  }
  if (p.sectorWidth == 0) word |= 1u << 29;
  return word;
}

SonarParamBlocks buildParamBlocks(const SonarParams& p, bool tunable, int32_t rangeIndex) {
  rangeIndex = clampIndex(rangeIndex, kRangeCount);
  SonarParamBlocks b;
  uint8_t* b0 = b.block0;
  storeU32(b0 + 0, 1);
  storeU32(b0 + 4, 0);
  storeU32(b0 + 8, buildCommandWord(p));
  storeU32(b0 + 12, tunable ? uint32_t(p.centralFrequency) : 0);
  storeU32(b0 + 16, tunable ? uint32_t(p.bandwidth) : 0);
  storeU32(b0 + 20, uint32_t(pulseKind(p.pulseMode)));
  storeU32(b0 + 24, uint32_t(p.cwLength));
  storeU32(b0 + 28, uint32_t(p.pingPeriod));
  storeU32(b0 + 32, uint32_t(kRangeSamples[rangeIndex]));
  storeU32(b0 + 36, 100000);
  storeF32(b0 + 40, float(p.gainDb));
  storeF32(b0 + 44, 0.0f);
  storeU16(b0 + 48, 0);
  uint16_t tvg = 80;
  if (tunable) {
    tvg = uint16_t(p.tvgSlope);
  } else if (rangeIndex == 12) {
    tvg = 133;
  } else if (rangeIndex == 13) {
    tvg = 160;
  } else if (rangeIndex == 14) {
    tvg = 200;
  }
  storeU16(b0 + 50, tvg);
  storeU32(b0 + 52, 0);
  storeF32(b0 + 56, 0.0f);
  storeF32(b0 + 60, 0.0f);

  uint8_t* b1 = b.block1;
  storeU16(b1 + 0, uint16_t(p.sectorHeading * 9));
  storeU16(b1 + 2, uint16_t(p.sectorWidth * 9));
  storeU16(b1 + 4, uint16_t(p.reverse));
  storeU16(b1 + 6, uint16_t(p.step));
  storeU32(b1 + 8, uint32_t(p.pingPeriod));
  storeU32(b1 + 12, 0);
  return b;
}

}  // namespace sk720
