#pragma once
// The persistent settings: nine named values in one per-user store. The
// operations here hold the logic (value names, types, sizes, capacities,
// defaults); a back end only keeps named values of three types. Each operation
// opens the store, does its work and closes it again.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/sonar_params.h"
#include "scan/view_settings.h"

namespace sk720 {

// Where the Windows back end keeps the values (under HKEY_CURRENT_USER).
inline constexpr const char* kSettingsKeyPath =
    "Software\\Quorvia Ultrasonics\\SK720ControlProgram\\Settings";

inline constexpr const char* kValueSerialPort = "SerialPort";
inline constexpr const char* kValueSerialSpeed = "SerialSpeed";
inline constexpr const char* kValueGpsSerialPort = "GPSSerialPort";
inline constexpr const char* kValueGpsSerialSpeed = "GPSSerialSpeed";
inline constexpr const char* kValueMainWindowPosition = "MainWindowPosition";
inline constexpr const char* kValueLanguage = "Language";
inline constexpr const char* kValueWorkingFolder = "WorkingFolder";
inline constexpr const char* kValueSonarSettings = "SonarDialogBinV2";
inline constexpr const char* kValueViewSettings = "ViewDialogBinV3";

// Value types, numbered as the registry numbers them.
enum class SettingsType : uint32_t { String = 1, Binary = 3, Dword = 4 };

// Status codes, numbered as the registry's: 0 is success, anything else means
// the value is absent or could not be stored. Callers only ever test for 0.
constexpr int32_t kSettingsOk = 0;
constexpr int32_t kSettingsNotFound = 2;      // key or value absent
constexpr int32_t kSettingsAccessDenied = 5;  // the store could not be written
constexpr int32_t kSettingsInvalidData = 13;  // wrong type or size, or a damaged store
constexpr int32_t kSettingsMoreData = 234;    // longer than the read capacity

// Capacities and sizes.
constexpr uint32_t kLanguageReadBytes = 128;
constexpr uint32_t kWorkingFolderChars = 261;  // up to 260 characters and the terminator
constexpr uint32_t kWindowPlacementSize = 32;

// Named values of one settings key. Implementations: the registry (Windows) and
// a per-user file.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  // Creates the key if missing and stores the bytes as given.
  virtual int32_t writeValue(const char* name, SettingsType type, const uint8_t* data,
                             uint32_t size) = 0;
  // Returns the whole stored value and its type. existingKeyOnly: do not create
  // a missing key (it then reads as kSettingsNotFound).
  virtual int32_t readValue(const char* name, SettingsType& type, std::vector<uint8_t>& data,
                            bool existingKeyOnly) = 0;
};

// The store for this platform: the registry key on Windows, elsewhere the file
// $XDG_CONFIG_HOME/sk720/settings (or ~/.config/sk720/settings).
std::unique_ptr<SettingsBackend> makeDefaultSettingsBackend();

// The main window's placement, stored as 8 little-endian 32-bit words.
struct WindowPlacement {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  uint32_t fullScreen = 0;
  uint32_t maximized = 0;
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The operations the program calls. Strings are UTF-8 here and stored as UTF-16
// with a byte count of twice their length plus four.
int32_t SetHeadLink(SettingsBackend& b, uint32_t port, uint32_t baud);
int32_t GetHeadLink(SettingsBackend& b, uint32_t& port, uint32_t& baud);
int32_t SetGpsLink(SettingsBackend& b, uint32_t port, uint32_t baud);
int32_t GetGpsLink(SettingsBackend& b, uint32_t& port, uint32_t& baud);
int32_t SetWindowPlacement(SettingsBackend& b, const WindowPlacement& p);
int32_t GetWindowPlacement(SettingsBackend& b, WindowPlacement& p);
int32_t SetLanguage(SettingsBackend& b, const std::string& language);
int32_t GetLanguage(SettingsBackend& b, std::string& language);
int32_t SetWorkingFolder(SettingsBackend& b, const std::string& folder);
int32_t GetWorkingFolder(SettingsBackend& b, std::string& folder);
// Either record may be null. A successful read replaces the record; a stored
// record shorter than the layout replaces only its leading whole fields; a
// longer one gives its leading bytes.
int32_t LoadRecords(SettingsBackend& b, SonarSettings* sonar, ViewSettings* view);
int32_t SaveRecords(SettingsBackend& b, const SonarSettings* sonar, const ViewSettings* view);

// Start-up steps.
// Writes "0409" when no language is stored; returns the language in effect.
std::string initLanguage(SettingsBackend& b);
// Reads both records; absent ones get their defaults and are written; without
// the extended range a stored range index above 11 is cut to 11 and written
// back. The toolbar always starts shown.
void loadRecordsAtStart(SettingsBackend& b, bool extendedRange, SonarSettings& sonar,
                        ViewSettings& view);
// Reads "WorkingFolder"; when it is unreadable, creates defaultFolder and
// stores it first. Returns the stored folder, or the default when the store
// cannot hold it. The one-argument form uses defaultWorkingFolder() (platform
// layer).
std::string loadWorkingFolderAtStart(SettingsBackend& b, const std::string& defaultFolder);
std::string loadWorkingFolderAtStart(SettingsBackend& b);
// The user's data folder for records and screenshots: Documents\SK720_DATA on
// Windows,
// ~/Documents/SK720_DATA (or $XDG_DATA_HOME/sk720 without a Documents folder)
// elsewhere.
std::string defaultWorkingFolder();
// Cuts a stored window taller than the screen to the screen's height with its
// top at 0. Returns true when the placement changed (the caller stores it
// again).
bool fitPlacementToScreen(WindowPlacement& p, int32_t screenHeight);

}  // namespace sk720
