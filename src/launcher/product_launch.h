#pragma once

#include <string>

#include "launcher/launcher_state.h"
#include "platform/platform.h"

namespace hanamizu {

// The product launch: runs the main program with kinds and extra on its command line.
void SeihinKidou(Platform& platform, const LauncherState& state, const std::string& kinds,
                 const std::string& extra);

}  // namespace hanamizu
