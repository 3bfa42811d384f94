// sk720 synth: writes a record file of the synthetic scene.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <vector>

#include "base/utf16.h"
#include "link/sonar_params.h"
#include "records/ping_record.h"
#include "sim/scene.h"
#include "sk720/commands.h"
#include "sk720/options.h"
#include "sk720/path_checks.h"
#include "sk720/progress.h"

namespace sk720::cli {

namespace {

// Beyond this a synthesised file is a mistake rather than a test recording.
constexpr int64_t kSynthMaxBytes = 2'000'000'000;

}  // namespace

int runSynth(const Args& args) {
  OptionReader r("synth", args);
  std::string out;
  int64_t turns = 1, rangeIndex = 6, stepIndex = 1, header = 44, seed = 1;
  int64_t sectorHeading = -1, sectorWidth = -1, turning = 0;
  bool headUp = false;
  sim::PingPlan extra;  // the motion, compass and target options
  auto pair = [&](const std::string& option, const std::optional<std::string>& v, double& a,
                  double& b, const char* form) {
    if (!v) return;
    const size_t comma = v->find(',');
    auto x = parseNumber(v->substr(0, comma));
    auto y = comma == std::string::npos ? std::nullopt : parseNumber(v->substr(comma + 1));
    if (!x || !y)
      r.badValue(option, *v, form);
    else
      a = *x, b = *y;
  };
  while (!r.done() && r.ok()) {
    const std::string a = r.next();
    auto integer = [&](int64_t lo, int64_t hi, int64_t& target, const std::string& allowed = {}) {
      if (auto n = r.integer(a, lo, hi, allowed)) target = *n;
    };
    if (a == "--turns") {
      integer(1, 1000000, turns, "a whole number of turns, 1 or more");
    } else if (a == "--range-index") {
      integer(0, kRangeCount - 1, rangeIndex);
    } else if (a == "--step-index") {
      integer(0, kStepCount - 1, stepIndex);
    } else if (a == "--seed") {
      integer(0, INT64_MAX, seed, "a whole number, 0 or more");
    } else if (a == "--turning") {
      integer(-360, 360, turning, "degrees a second, -360 to 360");
    } else if (a == "--head-up") {
      headUp = true;
    } else if (a == "--header") {
      if (auto v = r.value(a)) {
        if (*v == "28" || *v == "36" || *v == "44")
          header = std::stoi(*v);
        else
          r.badValue(a, *v, "28, 36 or 44");
      }
    } else if (a == "--sector") {
      if (auto v = r.value(a)) {
        const size_t comma = v->find(',');
        auto h = parseInteger(v->substr(0, comma), 0, kSectorHeadingCount - 1);
        auto w = comma == std::string::npos
                     ? std::nullopt
                     : parseInteger(v->substr(comma + 1), 0, kSectorWidthCount - 1);
        if (!h || !w)
          r.badValue(a, *v, "HEADING_INDEX,WIDTH_INDEX: 0 to 7, then 0 to 3");
        else
          sectorHeading = *h, sectorWidth = *w;
      }
    } else if (a == "--position") {
      pair(a, r.value(a), extra.latitudeDeg, extra.longitudeDeg, "LAT,LON in degrees");
      if (extra.motion == sim::PingPlan::Motion::Drift) extra.motion = sim::PingPlan::Motion::Fixed;
    } else if (a == "--track") {
      pair(a, r.value(a), extra.trackBearingDeg, extra.trackSpeed, "BEARING_DEG,METRES_PER_S");
      extra.motion = sim::PingPlan::Motion::Track;
    } else if (a == "--heading") {
      if (auto v = r.value(a)) {
        if (auto d = parseNumber(*v))
          extra.fixedHeading = true, extra.headingDeg = *d;
        else
          r.badValue(a, *v, "degrees clockwise from north");
      }
    } else if (a == "--compass") {
      if (auto v = r.value(a)) {
        if (*v == "agree")
          extra.compass = sim::PingPlan::Compass::Agree;
        else if (*v == "none")
          extra.compass = sim::PingPlan::Compass::None;
        else if (*v == "gyro-offset")
          extra.compass = sim::PingPlan::Compass::GyroOffset;
        else
          r.badValue(a, *v, "agree, none or gyro-offset");
      }
    } else if (a == "--target") {
      pair(a, r.value(a), extra.targetBearingDeg, extra.targetRangeM, "BEARING_DEG,RANGE_M");
      extra.target = true;
    } else if (!a.empty() && a[0] == '-') {
      r.unknownOption(a);
    } else if (out.empty()) {
      out = a;
    } else {
      r.setError("a second output file " + a, "synth writes one file");
    }
  }
  if (!r.ok()) return r.failure();
  if (out.empty()) return fail("synth", "no output file given", "usage: sk720 synth OUT.bin");
  if (extra.motion == sim::PingPlan::Motion::Track && extra.latitudeDeg == 0.0 &&
      extra.longitudeDeg == 0.0) {
    return fail("synth", "--track needs a start", "add --position LAT,LON");
  }

  SonarSettings settings;
  settings.rangeIndex = int32_t(rangeIndex);
  settings.stepIndex = int32_t(stepIndex);
  settings.headUp = headUp ? 1 : 0;
  if (sectorHeading >= 0) {
    settings.sectorEnabled = 1;
    settings.sectorHeadingIndex = int32_t(sectorHeading);
    settings.sectorWidthIndex = int32_t(sectorWidth);
  }
  SonarParams params;
  params.headUp = settings.headUp;
  params.reverse = params.headUp ^ (settings.rotationIndex != 0 ? 1 : 0);
  deriveSonarParams(settings, params, 0);

  sim::PingPlan plan;
  plan.commandWord = buildCommandWord(params);
  plan.headerSize = int32_t(header);
  plan.rangeIndex = settings.rangeIndex;
  plan.step = params.step;
  plan.reverse = params.reverse != 0;
  plan.headUp = params.headUp != 0;
  plan.sectorHeading = params.sectorHeading;
  plan.sectorWidth = params.sectorWidth;
  plan.pingPeriodUs = uint32_t(params.pingPeriod);
  plan.seed = uint64_t(seed);
  plan.turnDegreesPerSecond = double(turning);
  plan.motion = extra.motion;
  plan.latitudeDeg = extra.latitudeDeg;
  plan.longitudeDeg = extra.longitudeDeg;
  plan.trackBearingDeg = extra.trackBearingDeg;
  plan.trackSpeed = extra.trackSpeed;
  plan.compass = extra.compass;
  plan.fixedHeading = extra.fixedHeading;
  plan.headingDeg = extra.headingDeg;
  plan.target = extra.target;
  plan.targetBearingDeg = extra.targetBearingDeg;
  plan.targetRangeM = extra.targetRangeM;

  // Pings for one turn, or one sweep across and back in a sector.
  int64_t perTurn = params.step > 0 ? 3200 / params.step : 200;
  if (params.sectorWidth > 0 && params.step > 0) perTurn = 2 * params.sectorWidth / params.step;
  sim::PingSynthesizer synth(plan);
  std::vector<uint8_t> buf(kRecordBufferSize);
  // Every record of one plan has the same length: the first tells the size of the file.
  const int64_t recordBytes = sim::PingSynthesizer(plan).next(buf.data());
  const int64_t turnBytes = perTurn * recordBytes;
  if (turns > kSynthMaxBytes / turnBytes) {
    char what[96];
    std::snprintf(what, sizeof what, "--turns %lld would write %.1f GB",
                  static_cast<long long>(turns), double(turns) * double(turnBytes) / 1e9);
    return fail("synth", what,
                "a file may take at most 2 GB: " + std::to_string(kSynthMaxBytes / turnBytes) +
                    " turns at this range and step");
  }
  const int64_t total = perTurn * turns;

  if (const std::string why = unwritableReason(out); !why.empty()) return fail("synth", out, why);
  std::ofstream f(pathFromUtf8(out), std::ios::binary | std::ios::trunc);
  if (!f) return fail("synth", out, std::strerror(errno));
  ProgressLine progress("synth", progressWanted());
  for (int64_t i = 0; i < total && f; ++i) {
    const int32_t n = synth.next(buf.data());
    f.write(reinterpret_cast<const char*>(buf.data()), n);
    progress.update(uint64_t(i + 1), uint64_t(i + 1) * uint64_t(recordBytes));
  }
  progress.finish();
  errno = 0;
  f.close();
  if (!f) {
    return fail("synth", "cannot write " + out, errno != 0 ? std::strerror(errno) : "write failed");
  }
  std::printf("%s: %lld records, command word 0x%08X, %d-byte headers\n", out.c_str(),
              static_cast<long long>(total), plan.commandWord, plan.headerSize);
  return 0;
}

}  // namespace sk720::cli
