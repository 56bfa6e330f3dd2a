#pragma once

#include <string>
#include <vector>

namespace hanamizu {

// The first of the texts not found after the one before it in the lines, or nothing when each is
// found in turn: a log checked for what matters, in order.
inline std::string FirstMissing(const std::vector<std::string>& lines,
                                const std::vector<std::string>& texts) {
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  size_t at = 0;
  for (const std::string& text : texts) {
    if ((at = all.find(text, at)) == std::string::npos) return text;
  }
  return "";
}

}  // namespace hanamizu
