#pragma once

#include <cstdint>
#include <string>

#include "common/app_error.h"
#include "platform/platform.h"
#include "platform/splash.h"

namespace hanamizu {

// Fetches the update list baseUrl + listName into UpdateDir, offers a newer package of the same
// major version and downloads it as PackageName into a folder of its own under UpdateDir.
// Returns 1 when the package is there (held from writers by *package until that goes, which
// names its path), 0 when there is nothing to do or the user declined, DownloadMode + 1 when the
// list says not to download, -1 after any failure (the user has been told). UpdateDir becomes "C:\"
// when empty, PackageName the list's PackageFile when empty. The settings of registry_prefix keep
// the highest signed list accepted. The unexpected-error message: a beep, then the error's
// description in a box.
void ShowUnexpectedError(UserInterface& ui, const AppError& error);

int16_t UpdateCheck(Platform& platform, SplashWindow& splash, int32_t major, int32_t minor,
                    int32_t build, const std::string& baseUrl, const std::string& listName,
                    std::string& UpdateDir, std::string& PackageName,
                    const std::string& registry_prefix = "",
                    std::unique_ptr<HeldFile>* package = nullptr);

}  // namespace hanamizu
