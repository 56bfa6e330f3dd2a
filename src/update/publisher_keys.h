#pragma once

#include <string>
#include <vector>

namespace hanamizu {

// The publisher's public keys (PEM) that update lists must be signed with, as the executable was
// built; none in a build made without them. Each executable generates its own definition.
std::vector<std::string> BuiltInPublisherKeys();

}  // namespace hanamizu
