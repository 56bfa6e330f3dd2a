#include "launcher/product_launch.h"

namespace hanamizu {

// Not built yet: the launcher ends here, after the hand-over.
void SeihinKidou(Platform&, const LauncherState&, const std::string&, const std::string&) {}

}  // namespace hanamizu
