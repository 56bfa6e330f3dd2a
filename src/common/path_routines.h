#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace hanamizu {

// Trims blanks and removes at most one trailing "\"; dir_name is left holding the result.
// A failure is logged to "jiban.err" and gives the empty text.
std::string path_no_en(Platform& platform, std::string& dir_name);

// Field number field (1 = first) of text cut at every delimiter; empty when there are fewer
// fields. Positions are 16-bit: a search beyond position 32,767 fails with an overflow error.
std::string Get_Token(const std::string& text, const std::string& delimiter, int16_t field);

struct SplitPathParts {
  std::string directory;  // before the backslash that separates the last name
  std::string file_name;  // after it
  std::string base_name;  // file name up to its first "."
  std::string extension;  // up to three characters after the first dot of the name, lower case
};

// Cuts a full path into its parts. The path's last character is never taken as a separator.
SplitPathParts Split_Path(const std::string& path);

}  // namespace hanamizu
