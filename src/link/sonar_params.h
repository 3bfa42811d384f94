#pragma once
// The user's sonar selections, the working values derived from them, the command word and the
// two parameter blocks loaded into the head.
#include <cstdint>
#include <string>

namespace sk720 {

// Value lists (index -> value) shared by the dialog, the quick settings and the derivation.
constexpr int32_t kRangeCount = 15;
constexpr int32_t kStandardRangeCount = 12;  // ranges above index 11 need the extended-range switch
extern const char* const kRangeTexts[kRangeCount];
extern const int32_t kRangeValuesMm[kRangeCount];
extern const int32_t kRangeSamples[kRangeCount];
constexpr int32_t kStepCount = 6;
extern const char* const kStepTexts[kStepCount];
extern const int32_t kStepValues[kStepCount];
constexpr int32_t kGainCount = 11;
extern const char* const kGainTexts[kGainCount];
constexpr int32_t kCwLengthCount = 8;
extern const char* const kCwLengthTexts[kCwLengthCount];
constexpr int32_t kSectorHeadingCount = 8;
extern const char* const kSectorHeadingTexts[kSectorHeadingCount];
extern const int32_t kSectorHeadingsUp[kSectorHeadingCount];    // head mounted up
extern const int32_t kSectorHeadingsDown[kSectorHeadingCount];  // head mounted down (mirrored)
constexpr int32_t kSectorWidthCount = 4;
extern const char* const kSectorWidthTexts[kSectorWidthCount];
extern const int32_t kSectorWidths[kSectorWidthCount];

constexpr int32_t kPulseAuto = -1;
constexpr int32_t kPulseCw = 0;
constexpr int32_t kPulseAfm = 1;
constexpr int32_t kPulseFm = 2;

// The user's selections; stored as a 72-byte blob of 18 little-endian words.
struct SonarSettings {
  int32_t formatTag = 1;
  int32_t rangeIndex = 6;
  int32_t pulseType = kPulseAuto;
  int32_t cwLengthIndex = 1;
  int32_t pulseVariant = 0;
  int32_t sectorEnabled = 0;
  int32_t sectorHeadingIndex = 0;
  int32_t sectorWidthIndex = 0;
  int32_t stepIndex = 1;
  int32_t rotationIndex = 0;
  int32_t gainIndex = 5;
  int32_t reserved44 = 0;
  int32_t reserved48 = 0;
  int32_t tvgSlope = 80;
  int32_t reserved56 = 0;
  int32_t headUp = 0;
  int32_t centralFrequency = 860000;
  int32_t bandwidth = 80000;
};
constexpr int32_t kSonarSettingsBlobSize = 72;
void storeSonarSettings(const SonarSettings& s, uint8_t* blob);  // writes 72 bytes
SonarSettings loadSonarSettings(const uint8_t* blob);            // reads 72 bytes

// The working values the command word and the blocks are built from.
struct SonarParams {
  int32_t reserved0 = 0;
  int32_t sectorHeading = 0;
  int32_t sectorWidth = 0;
  int32_t reverse = 0;
  int32_t centralFrequency = 860000;
  int32_t bandwidth = 80000;
  int32_t pulseMode = 1;
  int32_t cwLength = 20;
  int32_t gainDb = 0;
  int32_t samples = 448;
  int32_t reserved40 = 0;
  int32_t pingPeriod = 42776;
  int32_t step = 1;
  int32_t reserved52 = 0;
  int32_t reserved56 = 0;
  int32_t reserved60 = 0;
  int32_t headUp = 0;
  int32_t tvgSlope = 80;
};

// Pulse mode 0..6 for a pulse type, variant and range; `current` when no rule applies.
int32_t pulseModeFor(int32_t pulseType, int32_t pulseVariant, int32_t rangeIndex, int32_t current);
// 0 CW, 1 AFM family (odd modes), 2 FM family (even modes above 0).
int32_t pulseKind(int32_t pulseMode);
// Ping period in microseconds for a step, a sample count and the link rate (0 = not known).
int32_t pingPeriodFor(int32_t step, int32_t samples, int32_t linkBaud);
// Gain list text at an index read as an integer (0 for an index outside the list).
int32_t gainDbAt(int32_t gainIndex);
// Sector heading list value for an index and orientation (0 outside the list).
int32_t sectorHeadingAt(int32_t index, bool headUp);

// The derivation run at every start of the sonar. Out-of-range list indices are clamped into
// their lists (in `settings` too) so that a damaged stored blob cannot index outside a table.
// The caller also clears the display hold flag, which lives with the view settings.
void deriveSonarParams(SonarSettings& settings, SonarParams& params, int32_t linkBaud);

// What the sonar settings dialog hands over when it is confirmed.
struct SonarDialogValues {
  int32_t pulseType = kPulseAuto;
  int32_t rangeIndex = 6;
  int32_t cwLengthIndex = 1;
  int32_t sectorHeadingIndex = 0;
  int32_t sectorWidthIndex = 0;
  int32_t stepIndex = 1;
  int32_t rotationIndex = 0;
  int32_t gainIndex = 5;
  bool sectorEnabled = false;
  bool headUp = false;
  // Only in the frequency tuning form; each text is cut to 3 characters as the edit fields are.
  bool tuningForm = false;
  std::string centralFrequencyKhz;
  std::string bandwidthKhz;
  std::string tvgSlope;
};

// The derivation when the dialog is confirmed (up to the point where the sonar is started).
void applySonarDialog(SonarSettings& settings, SonarParams& params, const SonarDialogValues& dialog,
                      int32_t linkBaud);

uint32_t buildCommandWord(const SonarParams& params);

constexpr int32_t kParamBlock0Size = 64;
constexpr int32_t kParamBlock1Size = 16;
struct SonarParamBlocks {
  uint8_t block0[kParamBlock0Size] = {};
  uint8_t block1[kParamBlock1Size] = {};
};
SonarParamBlocks buildParamBlocks(const SonarParams& params, bool tunable, int32_t rangeIndex);

}  // namespace sk720
