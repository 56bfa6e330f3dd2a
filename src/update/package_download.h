#pragma once

#include <optional>
#include <string>

#include "platform/platform.h"
#include "update/update_integrity.h"

namespace hanamizu {

// Downloads the package at url into target, going on from a part that an earlier attempt left
// beside it when the server still has the same version (a part for another address or version,
// or older than a week, is dropped). The finished file is checked (its announced length, and the
// block's size and SHA-256 when the list has one) before it takes target's name; one that fails
// the check is dropped with its part. A failed attempt keeps its part for the next one.
void DownloadPackage(Platform& platform, const std::string& url, const std::string& target,
                     const std::optional<IntegrityBlock>& block, DownloadProgress* progress);

}  // namespace hanamizu
