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
// the highest signed list accepted. With work, the user may go to work during the download: the
// download then goes on quietly until it ends or the work is over (its part kept for the next
// launch, whole and checked or not), nothing more is said or started, and the result is 0 or -1.
// The unexpected-error message: a beep, then the error's description in a box.
void ShowUnexpectedError(UserInterface& ui, const AppError& error);

// The user's work, which may begin while the package arrives when the user would rather not
// wait for it (the splash's button): begun once, then looked at until it is over.
class WorkMeanwhile {
 public:
  virtual ~WorkMeanwhile() = default;
  virtual void Begin() = 0;
  virtual bool Begun() const = 0;
  virtual bool Over() = 0;  // one look
};

int16_t UpdateCheck(Platform& platform, SplashWindow& splash, int32_t major, int32_t minor,
                    int32_t build, const std::string& baseUrl, const std::string& listName,
                    std::string& UpdateDir, std::string& PackageName,
                    const std::string& registry_prefix = "",
                    std::unique_ptr<HeldFile>* package = nullptr, WorkMeanwhile* work = nullptr);

}  // namespace hanamizu
