#pragma once

#include <string>
#include <vector>

namespace hanamizu {

// The first of the texts that no line holds after the line that held the text before it, or
// nothing when each is found in turn: a log checked for what matters, in order.
inline std::string FirstMissing(const std::vector<std::string>& lines,
                                const std::vector<std::string>& texts) {
  auto line = lines.begin();
  for (const std::string& text : texts) {
    while (line != lines.end() && line->find(text) == std::string::npos) ++line;
    if (line == lines.end()) return text;
    ++line;
  }
  return "";
}

}  // namespace hanamizu
