#include "update/update_rules.h"

#include <limits>

#include "common/app_error.h"
#include "common/text.h"

namespace hanamizu {

std::string VersionText(int32_t major, int32_t minor, int32_t build) {
  return std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(build);
}

bool IsNewerVersion(int32_t server_minor, int32_t server_build, int32_t minor, int32_t build) {
  return server_minor > minor || (server_minor == minor && server_build > build);
}

bool IsUsablePackageFile(const std::string& package_file) {
  const std::u16string name = Utf8ToUtf16(package_file);
  // The last four characters in lower case; a shorter name is compared whole.
  const std::u16string tail = ToLowerLatin(name.size() > 4 ? name.substr(name.size() - 4) : name);
  if (tail != u".exe") return false;
  for (const char16_t c : name) {
    if (c < 0x20 || c == 0x7F || c == u'\\' || c == u'/' || c == u':') return false;
  }
  // "." and ".." cannot end in ".exe": with no separator in it, the name stays in its directory.
  return true;
}

int16_t DownloadModeResult(int16_t download_mode) {
  if (download_mode == std::numeric_limits<int16_t>::max()) throw OverflowError();
  return static_cast<int16_t>(download_mode + 1);
}

}  // namespace hanamizu
