#pragma once

// A launcher installation that bench/run laid out: launcher.exe, oem.ini (REGISTRY=BENCH), the
// main-program stand-in Hanamizu.exe and the tool module PRT1.EXE.

#include <string>

namespace hanamizu::bench {

struct BenchInstallation {
  std::string directory;  // Windows path, no trailing "\"

  std::string launcher() const { return directory + "\\launcher.exe"; }
  std::string launcher_command_line() const { return "\"" + launcher() + "\" boot"; }
  std::string main_program() const { return directory + "\\Hanamizu.exe"; }
  std::string main_stem() const { return directory + "\\Hanamizu"; }
};

// The settings' application under oem.ini's REGISTRY=BENCH: apart from the tests' "di04".
inline constexpr char kSettingsApplication[] = "di04BENCH";

// The launcher's splash window class.
inline constexpr char kSplashClass[] = "HanamizuSplash";

// How often the driver looks at the launcher's windows.
inline constexpr unsigned kPollMs = 5;

}  // namespace hanamizu::bench
