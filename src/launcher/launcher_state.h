#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hanamizu {

// What the start-up sequence learns and hands on; filled only by Main.
struct LauncherState {
  std::string OemTitle;
  std::string RegistryPrefix;
  int16_t LauncherMode = 0;
  // Position 0 holds the empty text; positions 1..n the tool-module files found.
  std::vector<std::string> ModuleFiles;
};

}  // namespace hanamizu
