#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "update/update_integrity.h"

namespace hanamizu {

// Downloads the package at url into target, going on from a part that an earlier attempt left
// beside it when the server still has the same version (a part for another address or version,
// older than a week, or longer than the package, is dropped; one as long as the package is
// checked before anything is asked for). The finished file is checked (the block's size and
// SHA-256 when the list has one, else the server's announced length) before it takes target's
// name; one that fails the check is dropped with its part. A failed attempt keeps its part for
// the next one. The package stays held from writers until what is returned goes.
std::unique_ptr<HeldFile> DownloadPackage(Platform& platform, const std::string& url,
                                          const std::string& target,
                                          const std::optional<IntegrityBlock>& block,
                                          DownloadProgress* progress);

}  // namespace hanamizu
