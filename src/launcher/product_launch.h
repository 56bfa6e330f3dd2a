#pragma once

#include <string>

#include "launcher/launcher_state.h"
#include "platform/platform.h"

namespace hanamizu {

inline constexpr char kMainProgramName[] = "Hanamizu.exe";
inline constexpr char kUpdateListName[] = "di04.dat";

// The directory for the update list and the package, ending with "\": TEMP, else TMP, else the
// launcher's own directory.
std::string ChooseUpdateDir(Platform& platform);

// The product launch: checks and versions the main program, shows the splash window for at least
// three seconds (running the update step meanwhile when it is switched on) and then runs the main
// program with "LanternfieldOn," kinds and extra on its command line until it exits. Ends the
// launcher itself when the main program is missing or a downloaded package has been started.
void SeihinKidou(Platform& platform, const LauncherState& state, const std::string& kinds,
                 const std::string& extra);

}  // namespace hanamizu
