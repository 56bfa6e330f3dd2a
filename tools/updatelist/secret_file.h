#pragma once

#include <string>

namespace hanamizu::tools {

// Writes bytes into a file that must not exist yet (nor a link of that name), readable and
// writable by its owner only: mode 0600, or on Windows a protected DACL for the owner alone.
// Throws std::runtime_error, leaving no file, when that cannot be done.
void WriteNewSecretFile(const std::string& path, const std::string& bytes);

}  // namespace hanamizu::tools
