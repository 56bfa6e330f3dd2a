#pragma once

// The plain decisions of the update check, taken on the values of the update list.

#include <cstdint>
#include <optional>
#include <string>

namespace hanamizu {

// "8.1.25": three decimal numbers joined by ".", "-" before a negative one.
std::string VersionText(int32_t major, int32_t minor, int32_t build);

// Whether the server's version is newer than the installed one of the same major version: the
// minor version decides first, then the build number.
bool IsNewerVersion(int32_t server_minor, int32_t server_build, int32_t minor, int32_t build);

// A package name the launcher may fetch and store: it ends in ".exe" (any letter case) and is a
// plain file name that Windows can store, so that the server's text cannot choose where on the
// disk the file goes, nor name a device.
bool IsUsablePackageFile(const std::string& package_file);

// A user's rollout group as the settings keep it: 0 to 99 in decimal, or nothing when it is
// missing or cannot be read (and is drawn again).
std::optional<int> ReadRolloutGroup(const std::string& kept);

// Whether a PC of that group is offered a release rolled out to that share (percent): the groups
// below it are, so that a PC inside a share stays inside when it grows.
bool InRollout(int group, int rollout);

// DownloadMode + 1 as a signed 16-bit value; 32767 overflows (AppError).
int16_t DownloadModeResult(int16_t download_mode);

}  // namespace hanamizu
