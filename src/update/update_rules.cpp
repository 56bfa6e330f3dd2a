#include "update/update_rules.h"

#include <charconv>
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
  // No separator and nothing else Windows cannot store in a file name: the name stays in its
  // directory, and a download that no rename can keep is never started.
  for (const char16_t c : name) {
    if (c < 0x20 || c == 0x7F ||
        std::u16string_view(u"<>:\"/\\|?*").find(c) != std::u16string::npos) {
      return false;
    }
  }
  // A device name stays one whatever follows it after a dot: CON.exe is the console.
  std::u16string stem = ToLowerLatin(name.substr(0, name.find(u'.')));
  stem.erase(stem.find_last_not_of(u' ') + 1);
  for (const std::u16string_view device : {u"con", u"prn", u"aux", u"nul"}) {
    if (stem == device) return false;
  }
  return !(stem.size() == 4 && (stem.starts_with(u"com") || stem.starts_with(u"lpt")) &&
           stem[3] >= u'1' && stem[3] <= u'9');
}

std::optional<int> ReadRolloutGroup(const std::string& kept) {
  int group = -1;
  const auto [end, error] = std::from_chars(kept.data(), kept.data() + kept.size(), group);
  if (error != std::errc{} || end != kept.data() + kept.size() || group < 0 || group > 99) {
    return std::nullopt;
  }
  return group;
}

bool InRollout(int group, int rollout) {
  return group < rollout;
}

int16_t DownloadModeResult(int16_t download_mode) {
  if (download_mode == std::numeric_limits<int16_t>::max()) throw OverflowError();
  return static_cast<int16_t>(download_mode + 1);
}

}  // namespace hanamizu
