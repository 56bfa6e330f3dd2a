#pragma once

#include <string>
#include <vector>

namespace hanamizu::win32 {

// A folder other users cannot write into: full control for this user and the system, reading
// and running for administrators, nothing inherited from above. An existing folder must be
// this user's, and is given that access.
void MakePrivateFolder(const std::string& path);

// Names of the folders that match a wildcard pattern ("." and ".." left out).
std::vector<std::string> ListFolders(const std::string& pattern);

// The files in a folder, then the folder, as far as they can go now.
void RemoveFolder(const std::string& path);

}  // namespace hanamizu::win32
