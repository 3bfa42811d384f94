// libFuzzer harness for the settings file's text and the stored values' decoding. The input is a
// settings file: its values must survive a write and a read unchanged, and whatever they hold,
// reading the program's values from them (links, placement, strings, both records, and the
// derivation a damaged record feeds) must stay within their tables. Built and run by
// scripts/fuzz.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/sonar_params.h"
#include "scan/view_settings.h"
#include "settings/settings_file_backend.h"
#include "settings/settings_store.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

// The parsed values as a back end; writes go to the same map.
class MapBackend : public sk720::SettingsBackend {
 public:
  explicit MapBackend(sk720::SettingsFileValues& v) : values_(v) {}
  int32_t writeValue(const char* name, sk720::SettingsType type, const uint8_t* data,
                     uint32_t size) override {
    values_[name] = sk720::SettingsFileValue{type, std::vector<uint8_t>(data, data + size)};
    return sk720::kSettingsOk;
  }
  int32_t readValue(const char* name, sk720::SettingsType& type, std::vector<uint8_t>& data,
                    bool) override {
    const auto it = values_.find(name);
    if (it == values_.end()) return sk720::kSettingsNotFound;
    if (it->second.damaged) return sk720::kSettingsInvalidData;
    type = it->second.type;
    data = it->second.data;
    return sk720::kSettingsOk;
  }

 private:
  sk720::SettingsFileValues& values_;
};

bool sameLegibleValues(const sk720::SettingsFileValues& a, const sk720::SettingsFileValues& b) {
  auto ia = a.begin(), ib = b.begin();
  for (;; ++ia, ++ib) {
    while (ia != a.end() && ia->second.damaged) ++ia;
    while (ib != b.end() && ib->second.damaged) ++ib;
    if (ia == a.end() || ib == b.end()) return ia == a.end() && ib == b.end();
    if (ia->first != ib->first || ia->second.type != ib->second.type ||
        ia->second.data != ib->second.data)
      return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sk720::SettingsFileValues values;
  sk720::parseSettingsText(text, values);

  // What is written reads back the same, and writing that again changes nothing.
  const std::string written = sk720::formatSettingsText(values);
  sk720::SettingsFileValues again;
  sk720::parseSettingsText(written, again);
  for (const auto& [name, v] : again)
    if (v.damaged) fail("a written line reads back damaged");
  if (!sameLegibleValues(values, again)) fail("values change through a write and a read");
  if (sk720::formatSettingsText(again) != written) fail("a second write differs");

  MapBackend store(values);
  uint32_t port = 0, baud = 0;
  sk720::GetHeadLink(store, port, baud);
  sk720::GetGpsLink(store, port, baud);
  sk720::WindowPlacement placement;
  if (sk720::GetWindowPlacement(store, placement) == sk720::kSettingsOk) {
    const bool cut = sk720::fitPlacementToScreen(placement, 768);
    if (cut && (placement.top != 0 || placement.bottom != 768)) fail("placement not fitted");
  }
  std::string language = sk720::initLanguage(store), folder;
  if (language.size() > 4 * sk720::kLanguageReadBytes) fail("language longer than its capacity");
  if (sk720::GetWorkingFolder(store, folder) == sk720::kSettingsOk &&
      folder.size() > 4 * sk720::kWorkingFolderChars)
    fail("folder longer than its capacity");

  for (bool extended : {false, true}) {
    sk720::SonarSettings sonar;
    sk720::ViewSettings view;
    sk720::loadRecordsAtStart(store, extended, sonar, view);
    if (!extended && sonar.rangeIndex > sk720::kStandardRangeCount - 1)
      fail("range beyond the standard list");
    // A damaged record may hold anything; the derivation must bring it back into the tables.
    sk720::SonarParams params;
    sk720::deriveSonarParams(sonar, params, 115200);
    if (sonar.gainIndex < 0 || sonar.gainIndex >= sk720::kGainCount) fail("gain outside its list");
    if (params.pulseMode < 0 || params.pulseMode > 6) fail("pulse mode outside 0..6");
    sk720::buildParamBlocks(params, extended, sonar.rangeIndex);
    sk720::buildCommandWord(params);
  }
  return 0;
}
