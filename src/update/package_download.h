#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "update/update_integrity.h"

namespace hanamizu {

// Downloads the package at url as name into a folder of its own under update_dir (one that only
// this user may write into; under the user's local application data folder where the package's
// path would be too long to start it from), going on from a part that an earlier attempt left
// beside it when the server still has the same version (a part for another address or version,
// older than a week, or longer than the package, is dropped; one as long as the package is
// checked before anything is asked for). The finished file is checked (the block's size and
// SHA-256 when the list has one, else the server's announced length) before it takes target's
// name; one that fails the check is dropped with its part. A failed attempt keeps its part for
// the next one. The committed package is hashed again through the handle that then holds it
// from writers until what is returned goes; earlier downloads' folders are removed. When nobody
// waits for the package any more once it has arrived (unattended), it is checked and kept as a
// part, whole, for the next launch, which checks it again and commits it; nothing is returned.
std::unique_ptr<HeldFile> DownloadPackage(Platform& platform, const std::string& url,
                                          const std::string& update_dir, const std::string& name,
                                          const std::optional<IntegrityBlock>& block,
                                          DownloadProgress* progress,
                                          const std::function<bool()>& unattended = {});

// The committed package read again through the handle that holds it until it starts, so that
// what runs is what was checked even if another program of the user's rewrote the file between
// the check and the hold: size bytes of that SHA-256, or the file is deleted and the error says
// that it changed after its check.
void CheckHeldPackage(Platform& platform, HeldFile& held, uint64_t size,
                      const Sha256Digest& digest);

}  // namespace hanamizu
