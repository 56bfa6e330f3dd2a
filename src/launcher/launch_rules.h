#pragma once

// The product launch's decisions that need no system: version splitting, the auto-update switch
// and the main program's command line.

#include <cstdint>
#include <optional>
#include <string>

namespace hanamizu {

inline constexpr char kLaunchMarker[] = "LanternfieldOn";

struct InstalledVersion {
  int32_t major = 0;
  int32_t minor = 0;
  int32_t build = 0;
};

// "8.1.0.25" gives 8, 1, 25: the first, second and fourth numbers; missing parts stay 0.
// A part that is not a number, or does not fit 32 bits, is an error.
InstalledVersion SplitFileVersion(const std::string& file_version);

// A text the way the settings hold numbers, as a 16-bit integer rounded half to even; nothing
// when the text is not numeric or does not fit 16 bits.
std::optional<int16_t> NumericSettingAsInt16(const std::string& text);

// The auto-update switch is on exactly when its setting is numeric and rounds to 1.
bool AutoUpdateSwitchOn(const std::string& setting);

// Path, blank, marker, ",", kinds, extra: the path stays unquoted even with blanks in it.
std::string BuildMainCommandLine(const std::string& main_program_path, const std::string& kinds,
                                 const std::string& extra);

}  // namespace hanamizu
