#include "launcher/launch_rules.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

#include "common/app_error.h"

namespace hanamizu {
namespace {

AppError TypeMismatch() {
  return AppError(13, "型が一致しません。");
}

int32_t ToInt32(const std::string& text) {
  int64_t value = 0;
  const char* first = text.data();
  const char* last = first + text.size();
  while (first < last && *first == ' ') ++first;
  while (last > first && last[-1] == ' ') --last;
  if (first < last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  if (first == last || end != last) throw TypeMismatch();
  if (error != std::errc() || value < std::numeric_limits<int32_t>::min() ||
      value > std::numeric_limits<int32_t>::max()) {
    throw OverflowError();
  }
  return static_cast<int32_t>(value);
}

// Cuts text at its first "."; returns the part before it and leaves the rest in text.
std::string TakeUpToDot(std::string& text) {
  const size_t dot = text.find('.');
  std::string head = text.substr(0, dot);
  text.erase(0, dot + 1);
  return head;
}

}  // namespace

InstalledVersion SplitFileVersion(const std::string& file_version) {
  InstalledVersion version;
  std::string rest = file_version;
  if (rest.find('.') == std::string::npos) return version;
  version.major = ToInt32(TakeUpToDot(rest));
  if (rest.find('.') != std::string::npos) {
    version.minor = ToInt32(TakeUpToDot(rest));
    if (rest.find('.') != std::string::npos) {
      TakeUpToDot(rest);  // the third number plays no part
      version.build = ToInt32(rest);
    }
  }
  return version;
}

std::optional<int16_t> NumericSettingAsInt16(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  if (first == std::string::npos) return std::nullopt;
  std::string number = text.substr(first, last - first + 1);
  if (number[0] == '+') number.erase(0, 1);
  // Only plain decimal notation counts: digits, one point, an optional exponent.
  if (number.empty() || number.find_first_not_of("0123456789.-eE+") != std::string::npos) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  const int previous_mode = std::fegetround();
  std::fesetround(FE_TONEAREST);  // halves go to the even neighbour
  const double rounded = std::nearbyint(value);
  std::fesetround(previous_mode);
  if (rounded < std::numeric_limits<int16_t>::min() ||
      rounded > std::numeric_limits<int16_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int16_t>(rounded);
}

bool AutoUpdateSwitchOn(const std::string& setting) {
  const std::optional<int16_t> value = NumericSettingAsInt16(setting);
  return value && *value == 1;
}

std::string BuildMainCommandLine(const std::string& main_program_path, const std::string& kinds,
                                 const std::string& extra) {
  return main_program_path + " " + kLaunchMarker + "," + kinds + extra;
}

}  // namespace hanamizu
