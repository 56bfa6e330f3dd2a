#pragma once

#include <vector>

#include "platform/crypto.h"

namespace hanamizu {

// The SHA-256 digests of the SubjectPublicKeyInfo of the publisher's code-signing certificates,
// as the executable was built; none in a build made without them. Each executable generates its
// own definition.
std::vector<Sha256Digest> BuiltInPackageSigners();

}  // namespace hanamizu
