#pragma once

#include <string>

namespace hanamizu::tools {

// What a file the tool writes is, which says how it takes its name. Every one is created where
// nothing was (no file, no link: nothing is written through a link planted at any name), and a
// failure leaves no file of the tool's and the name as it was.
enum class FileKind {
  kPrivateKey,  // created at its name, never over one; readable and writable by its owner only
                // (mode 0600, or on Windows a protected DACL for the owner alone)
  kPublicKey,   // created at its name, never over one
  kList,        // made beside its name and renamed over it: a launcher fetching the list
                // meanwhile reads the earlier one or this one, never half of it
};

// Throws std::runtime_error (or AppError on Windows) when that cannot be done.
void WriteWholeFile(const std::string& path, const std::string& bytes, FileKind kind);

}  // namespace hanamizu::tools
